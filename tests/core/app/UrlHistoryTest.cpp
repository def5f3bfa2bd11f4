#include "core/app/UrlHistory.h"

#include "support/Fixtures.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

class UrlHistoryTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString historyPath() const { return m_dir.filePath(u"history.txt"_s); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(UrlHistoryTest, ReadTextLinesDecodesAndSplits)
{
    using Status = TextLines::Status;

    struct Case
    {
        const char *name;
        QByteArray bytes;
        TextEncoding encoding;
        QStringList lines;
        Status status;
    };

    const std::vector<Case> cases = {
        {"empty file", "", TextEncoding::Utf8, {}, Status::Ok},
        {"mark only", "\xEF\xBB\xBF", TextEncoding::Utf8, {}, Status::Ok},
        {"no final line end", "a\r\nb", TextEncoding::Utf8, {u"a"_s, u"b"_s}, Status::Ok},
        {"final line end adds no line", "a\r\nb\r\n", TextEncoding::Utf8, {u"a"_s, u"b"_s}, Status::Ok},
        {"CR LF, LF and CR", "a\r\nb\nc\rd", TextEncoding::Utf8, {u"a"_s, u"b"_s, u"c"_s, u"d"_s}, Status::Ok},
        {"LF CR is two line ends", "a\n\rb", TextEncoding::Utf8, {u"a"_s, u""_s, u"b"_s}, Status::Ok},
        {"empty lines kept", "\r\na\r\n\r\nb\r\n", TextEncoding::Utf8, {u""_s, u"a"_s, u""_s, u"b"_s}, Status::Ok},
        {"only a line end", "\n", TextEncoding::Utf8, {u""_s}, Status::Ok},
        {"UTF-8 without mark", "caf\xC3\xA9", TextEncoding::Utf8, {u"caf\u00E9"_s}, Status::Ok},
        {"UTF-8 mark skipped", "\xEF\xBB\xBF\xC3\xA9\r\n", TextEncoding::Utf8, {u"\u00E9"_s}, Status::Ok},
        {"invalid UTF-8 is an error",
         "caf\xE9\r\nx",
         TextEncoding::Utf8,
         {u"caf\uFFFD"_s, u"x"_s},
         Status::DecodeError},
        {"windows-1252", "caf\xE9 \x80\r\nx", TextEncoding::Windows1252, {u"caf\u00E9 \u20AC"_s, u"x"_s}, Status::Ok},
        {"mark decides over windows-1252",
         "\xEF\xBB\xBF\xC3\xA9",
         TextEncoding::Windows1252,
         {u"\u00E9"_s},
         Status::Ok},
        {"mark with invalid UTF-8 fails in both",
         "\xEF\xBB\xBF\xE9",
         TextEncoding::Windows1252,
         {u"\uFFFD"_s},
         Status::DecodeError},
        {"UTF-16 LE",
         QByteArray("\xFF\xFE\xE9\0\r\0\n\0b\0", 10),
         TextEncoding::Utf8,
         {u"\u00E9"_s, u"b"_s},
         Status::Ok},
        {"UTF-16 BE",
         QByteArray("\xFE\xFF\0\xE9\0\n\0b", 8),
         TextEncoding::Windows1252,
         {u"\u00E9"_s, u"b"_s},
         Status::Ok},
        {"UTF-16 cut short",
         QByteArray("\xFF\xFE"
                    "a\0b",
                    5),
         TextEncoding::Utf8,
         {u"a"_s},
         Status::Ok},
        {"UTF-16 mark only and a half unit", QByteArray("\xFE\xFF\0", 3), TextEncoding::Utf8, {}, Status::Ok},
    };
    const QString path = m_dir.filePath(u"lines.txt"_s);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(path, c.bytes);
        const TextLines read = ReadTextLines(path, c.encoding);
        EXPECT_EQ(read.status, c.status);
        EXPECT_EQ(read.lines, c.lines);
        EXPECT_EQ(read.error.isEmpty(), c.status == Status::Ok);
    }

    const TextLines missing = ReadTextLines(m_dir.filePath(u"missing.txt"_s), TextEncoding::Utf8);
    EXPECT_EQ(missing.status, Status::ReadError);
    EXPECT_TRUE(missing.lines.isEmpty());
    const TextLines folder = ReadTextLines(m_dir.path(), TextEncoding::Utf8);
    EXPECT_EQ(folder.status, Status::ReadError);
}

TEST_F(UrlHistoryTest, AdditionsKeepOneEntryPerAddressMostRecentFirst)
{
    struct Case
    {
        const char *name;
        QStringList before;
        QString url;
        QStringList after;
    };

    const std::vector<Case> cases = {
        {"first address", {}, u"http://a.com/"_s, {u"http://a.com/"_s}},
        {"new address goes first", {u"http://a.com/"_s}, u"http://b.com/"_s, {u"http://b.com/"_s, u"http://a.com/"_s}},
        {"every equal entry removed",
         {u"http://a.com/"_s, u"x"_s, u"http://a.com/"_s, u"y"_s, u"http://a.com/"_s},
         u"http://a.com/"_s,
         {u"http://a.com/"_s, u"x"_s, u"y"_s}},
        {"letter case and a trailing blank make separate entries",
         {u"http://A.com/"_s, u"http://a.com/ "_s},
         u"http://a.com/"_s,
         {u"http://a.com/"_s, u"http://A.com/"_s, u"http://a.com/ "_s}},
        {"empty line kept", {u"a"_s, u""_s, u"b"_s}, u"c"_s, {u"c"_s, u"a"_s, u""_s, u"b"_s}},
        {"empty URL changes nothing", {u"a"_s, u""_s}, u""_s, {u"a"_s, u""_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(historyPath());
        if (!c.before.isEmpty()) {
            writeAll(historyPath(), historyBytes(c.before));
        }
        const HistoryUpdate update = HistoryEkle(m_dir.path(), c.url);
        EXPECT_EQ(update.error, QString());
        EXPECT_EQ(update.lines, c.after);
        if (!c.url.isEmpty()) {
            EXPECT_EQ(readAll(historyPath()), historyBytes(c.after));
        }
    }
}

TEST_F(UrlHistoryTest, SameAddressThreeTimesStaysOnceAtTheTop)
{
    EXPECT_TRUE(HistoryEkle(m_dir.path(), QString()).lines.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(historyPath())); // loading writes nothing
    for (const QString &url : {u"http://a.com/"_s, u"http://b.com/"_s, u"http://a.com/"_s, u"http://a.com/"_s}) {
        HistoryEkle(m_dir.path(), url);
    }
    EXPECT_EQ(readAll(historyPath()), QByteArray("\xEF\xBB\xBFhttp://a.com/\r\nhttp://b.com/\r\n"));
    EXPECT_EQ(HistoryEkle(m_dir.path(), QString()).lines, (QStringList{u"http://a.com/"_s, u"http://b.com/"_s}));
}

TEST_F(UrlHistoryTest, FilesOfOtherToolsLoadAndAreRewrittenAsUtf8WithMark)
{
    struct Case
    {
        const char *name;
        QByteArray file;
        QStringList lines;
    };

    const std::vector<Case> cases = {
        {"windows-1252 with accented letters",
         "http://caf\xE9.fr/\r\nhttp://\xFC\xF1\x80.de/\r\n",
         {u"http://caf\u00E9.fr/"_s, u"http://\u00FC\u00F1\u20AC.de/"_s}},
        {"UTF-16 LE with mark", QByteArray("\xFF\xFEh\0\xE9\0\r\0\n\0\x2C\x4E", 12), {u"h\u00E9"_s, u"\u4E2C"_s}},
        {"UTF-16 BE with mark", QByteArray("\xFE\xFF\0h\0\xE9\0\n\x4E\x2C", 10), {u"h\u00E9"_s, u"\u4E2C"_s}},
        {"UTF-8 without mark, LF only", "a\n\nb", {u"a"_s, u""_s, u"b"_s}},
        {"UTF-8 mark over invalid bytes keeps what was read",
         "\xEF\xBB\xBFok\r\nbad\xE9\r\n",
         {u"ok"_s, u"bad\uFFFD"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(historyPath(), c.file);
        EXPECT_EQ(HistoryEkle(m_dir.path(), QString()).lines, c.lines);
        EXPECT_EQ(readAll(historyPath()), c.file); // loading does not rewrite

        const HistoryUpdate update = HistoryEkle(m_dir.path(), u"http://new/"_s);
        const QStringList expected = QStringList{u"http://new/"_s} + c.lines;
        EXPECT_EQ(update.lines, expected);
        EXPECT_EQ(readAll(historyPath()), historyBytes(expected));
        EXPECT_TRUE(readAll(historyPath()).startsWith("\xEF\xBB\xBFhttp://new/\r\n"));
    }
}

TEST_F(UrlHistoryTest, FiveHundredEntriesStayWhole)
{
    QStringList lines;
    for (int i = 0; i < 500; ++i) {
        lines.append(u"http://site%1.com/"_s.arg(i));
    }
    writeAll(historyPath(), historyBytes(lines));
    const HistoryUpdate update = HistoryEkle(m_dir.path(), u"http://site250.com/"_s);
    ASSERT_EQ(update.lines.size(), 500);
    EXPECT_EQ(update.lines.first(), u"http://site250.com/"_s);
    EXPECT_EQ(update.lines[1], u"http://site0.com/"_s);
    EXPECT_EQ(update.lines.last(), u"http://site499.com/"_s);
    EXPECT_EQ(HistoryEkle(m_dir.path(), QString()).lines, update.lines);
}

TEST_F(UrlHistoryTest, UnwritableHistoryReportsTheFullPathAndGivesTheLines)
{
    writeAll(m_dir.filePath(u"file"_s), "x");

    struct Case
    {
        const char *name;
        QString folder;
    };

    const std::vector<Case> cases = {
        {"folder is a file", m_dir.filePath(u"file"_s)},
        {"missing folder", m_dir.filePath(u"no/such"_s)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const HistoryUpdate update = HistoryEkle(c.folder, u"http://a.com/"_s);
        const QString prefix = u"Cannot create file \""_s + c.folder + u"/history.txt\". "_s;
        EXPECT_TRUE(update.error.startsWith(prefix)) << update.error.toStdString();
        EXPECT_GT(update.error.size(), prefix.size()); // the system's reason follows
        EXPECT_EQ(update.lines, QStringList{u"http://a.com/"_s});
    }

    // A folder where the history file should be: silent on loading, an error on adding.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(u"history.txt"_s));
    EXPECT_EQ(HistoryEkle(m_dir.path(), QString()).error, QString());
    const HistoryUpdate update = HistoryEkle(m_dir.path(), u"http://a.com/"_s);
    EXPECT_TRUE(update.error.startsWith(u"Cannot create file \""_s + historyPath() + u"\". "_s))
        << update.error.toStdString();
    EXPECT_EQ(update.lines, QStringList{u"http://a.com/"_s});
    EXPECT_TRUE(QFileInfo(historyPath()).isDir());
}

TEST_F(UrlHistoryTest, BinaryAndLargeFilesLoadWithoutCrashing)
{
    std::mt19937 random(7);
    QByteArray binary(2 << 20, Qt::Uninitialized);
    for (char &b : binary) {
        b = static_cast<char>(random() & 0xFF);
    }
    const std::vector<QByteArray> files = {
        binary,
        QByteArray(QByteArray("\xFF\xFE") + binary + "x"),
        QByteArray(QByteArray("\xEF\xBB\xBF") + binary),
        QByteArray(1 << 20, '\n'),
        QByteArray(8 << 20, 'a'),
    };
    for (const QByteArray &bytes : files) {
        writeAll(historyPath(), bytes);
        const HistoryUpdate update = HistoryEkle(m_dir.path(), u"http://a.com/"_s);
        EXPECT_EQ(update.error, QString());
        ASSERT_FALSE(update.lines.isEmpty());
        EXPECT_EQ(update.lines.first(), u"http://a.com/"_s);
        // Lone surrogates of random UTF-16 become replacement characters; the entries stay.
        EXPECT_EQ(HistoryEkle(m_dir.path(), QString()).lines.size(), update.lines.size());
    }
}

TEST(UrlHistory, PasteMakesOneLine)
{
    struct Case
    {
        const char *name;
        QString clipboard;
        QString pasted;
    };

    const std::vector<Case> cases = {
        {"CR LF becomes one blank", u"a\r\nb"_s, u"a b"_s},
        {"trailing LF leaves a trailing blank", u"a\n"_s, u"a "_s},
        {"lone CR and LF", u"a\rb\nc"_s, u"a b c"_s},
        {"LF CR is two blanks", u"a\n\rb"_s, u"a  b"_s},
        {"CR CR LF", u"a\r\r\nb"_s, u"a  b"_s},
        {"other text unchanged", u" x\ty "_s, u" x\ty "_s},
        {"empty clipboard", u""_s, u""_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(pasteText(c.clipboard), c.pasted);
    }
}

} // namespace quorvel::test
