#include "core/results/Export.h"

#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

LinkRows sampleRows()
{
    return {
        LinkRow::redirectRow(u"http://a.com/"_s),
        LinkRow{u"http://b.com/x"_s, u"dofollow"_s, u"External"_s, u"one, two; \"three\""_s, QString(), QString(),
                kIconCollected},
        LinkRow{u"mailto:m@b.com"_s, u"UGC"_s, u"External"_s, u"\u00E9 mail"_s, u"EMAIL"_s, QString(), kIconNone},
        LinkRow{u"http://b.com/y"_s, u"NOFOLLOW"_s, u"Internal"_s, u"0012\r\nline"_s, u"HTTP/1.1 200 OK"_s, u"35"_s,
                kIconOk},
    };
}

} // namespace

TEST(Export, CsvFieldQuotesForSeparatorQuoteAndLineBreak)
{
    struct Case
    {
        const char *name;
        QString text;
        QChar separator;
        QString out;
    };

    const std::vector<Case> cases = {
        {"plain", u"abc"_s, u',', u"abc"_s},
        {"comma with comma separator", u"a,b"_s, u',', u"\"a,b\""_s},
        {"comma with semicolon separator", u"a,b"_s, u';', u"a,b"_s},
        {"semicolon with semicolon separator", u"a;b"_s, u';', u"\"a;b\""_s},
        {"quote doubled whatever the separator", u"say \"hi\""_s, u';', u"\"say \"\"hi\"\"\""_s},
        {"blank and leading zero unquoted", u"0 1\t2"_s, u',', u"0 1\t2"_s},
        {"CR LF quoted", u"0 1\r\n2"_s, u',', u"\"0 1\r\n2\""_s},
        {"LF alone quoted", u"a\nb"_s, u';', u"\"a\nb\""_s},
        {"CR alone quoted", u"a\rb"_s, u';', u"\"a\rb\""_s},
        {"line break and quote", u"\"\n\""_s, u',', u"\"\"\"\n\"\"\""_s},
        {"only quotes", u"\"\"\""_s, u',', u"\"\"\"\"\"\"\"\""_s},
        {"empty", u""_s, u',', u""_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CsvField(c.text, c.separator), c.out);
    }
}

// Large fields, checked for their content only: the benchmark BM_CsvField shows the time is linear.
TEST(Export, CsvFieldOfManyQuotesDoublesEachOne)
{
    struct Case
    {
        const char *name;
        QString text;
        QString out;
    };

    const qsizetype n = qsizetype(1) << 20;
    const std::vector<Case> cases = {
        {"a MiB of quotes", QString(n, u'"'), u'"' + QString(2 * n, u'"') + u'"'},
        {"quotes between letters", QString(n, u'a') + u'"' + QString(n, u'b'),
         u'"' + QString(n, u'a') + u"\"\""_s + QString(n, u'b') + u'"'},
        {"a MiB of line breaks", QString(n, u'\n'), u'"' + QString(n, u'\n') + u'"'},
        {"a MiB of letters", QString(n, u'x'), QString(n, u'x')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString field = CsvField(c.text, u',');
        EXPECT_EQ(field.size(), c.out.size());
        EXPECT_TRUE(field == c.out);
    }
}

TEST(Export, ALinkWithALineBreakStaysOneRecord)
{
    const LinkRows rows = {LinkRow{u"http://b.com/a\r\nb"_s, u"dofollow"_s, u"External"_s, u"x\ny"_s, QString(),
                                   QString(), kIconCollected}};
    EXPECT_EQ(exportBytes(rows, ExportFormat::Csv, u','),
              QByteArray("\xEF\xBB\xBF\"http://b.com/a\r\nb\",dofollow,External,\"x\ny\",\r\n"));
}

TEST(Export, FormatFollowsTheLowerCasedExtension)
{
    struct Case
    {
        const char *name;
        ExportFormat format;
    };

    const std::vector<Case> cases = {
        {"/t/a.csv", ExportFormat::Csv}, {"/t/A.CSV", ExportFormat::Csv},    {"/t/a.csv.txt", ExportFormat::Text},
        {"/t/a", ExportFormat::Text},    {"/t/x.csv/a", ExportFormat::Text}, {"/t/a.txt", ExportFormat::Text},
        {"/t/.csv", ExportFormat::Csv},  {"/t/a.csvx", ExportFormat::Text},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(exportFormatFor(QString::fromUtf8(c.name)), c.format);
    }
}

TEST(Export, BytesAreUtf8WithMarkAndCrLf)
{
    const LinkRows rows = sampleRows();
    EXPECT_EQ(exportBytes({}, ExportFormat::Csv, u','), QByteArray("\xEF\xBB\xBF"));
    EXPECT_EQ(exportBytes(rows, ExportFormat::Text, u','),
              QByteArray("\xEF\xBB\xBFhttp://a.com/\r\nhttp://b.com/x\r\nmailto:m@b.com\r\nhttp://b.com/y\r\n"));
    EXPECT_EQ(exportBytes(rows, ExportFormat::Csv, u','),
              QByteArray("\xEF\xBB\xBF"
                         "http://a.com/,*redirect*,*redirect*,*redirect*,\r\n"
                         "http://b.com/x,dofollow,External,\"one, two; \"\"three\"\"\",\r\n"
                         "mailto:m@b.com,UGC,External,\xC3\xA9 mail,EMAIL\r\n"
                         "http://b.com/y,NOFOLLOW,Internal,\"0012\r\nline\",HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(exportBytes(rows.mid(1, 1), ExportFormat::Csv, u';'),
              QByteArray("\xEF\xBB\xBFhttp://b.com/x;dofollow;External;\"one, two; \"\"three\"\"\";\r\n"));
}

TEST(Export, WriteReplacesOrFailsWithoutTouchingTheOldFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csv = dir.filePath(u"out.CSV"_s);
    QString error;
    ASSERT_TRUE(writeExportFile(csv, sampleRows().mid(0, 1), u',', &error)) << error.toStdString();
    EXPECT_EQ(readAll(csv), QByteArray("\xEF\xBB\xBFhttp://a.com/,*redirect*,*redirect*,*redirect*,\r\n"));
    ASSERT_TRUE(writeExportFile(csv, {}, u',', &error));
    EXPECT_EQ(readAll(csv), QByteArray("\xEF\xBB\xBF"));

    const QString missingFolder = dir.filePath(u"no/such/out.txt"_s);
    EXPECT_FALSE(writeExportFile(missingFolder, sampleRows(), u',', &error));
    EXPECT_TRUE(error.startsWith(u"Cannot create file \""_s + missingFolder + u"\". "_s)) << error.toStdString();
    EXPECT_GT(error.size(), (u"Cannot create file \""_s + missingFolder + u"\". "_s).size());
}

} // namespace quorvel::test
