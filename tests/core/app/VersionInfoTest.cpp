#include "core/app/VersionInfo.h"

#include "support/Fixtures.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

namespace {

// A block as the build writes it: the marker, then the given lines.
QByteArray block(const QByteArray &lines)
{
    return versionBlockMagic() + lines;
}

const QByteArray kFullLines = "format 1\n"
                              "fixed 3 7 1 42\n"
                              "translation 0409 04E4\n"
                              "string 040904E4 CompanyName BRELLAN\n"
                              "string 040904E4 FileDescription Quorvel\n"
                              "string 040904E4 FileVersion 3.7.1.42\n"
                              "string 040904E4 InternalName Quorvel\n"
                              "string 040904E4 LegalCopyright (c) BRELLAN\n"
                              "string 040904E4 LegalTrademarks none\n"
                              "string 040904E4 OriginalFileName quorvel\n"
                              "string 040904E4 ProductName Quorvel\n"
                              "string 040904E4 ProductVersion 3.7\n"
                              "string 040904E4 Comments a comment\n"
                              "string 040904E4 PrivateBuild private\n"
                              "string 040904E4 SpecialBuild special\n"
                              "end\n";

TEXEVersionData fullStrings()
{
    return TEXEVersionData{u"BRELLAN"_s, u"Quorvel"_s, u"3.7.1.42"_s, u"Quorvel"_s,   u"(c) BRELLAN"_s, u"none"_s,
                           u"quorvel"_s, u"Quorvel"_s, u"3.7"_s,      u"a comment"_s, u"private"_s,     u"special"_s};
}

// A record with only the given fields filled.
TEXEVersionData fields(std::initializer_list<std::pair<QString TEXEVersionData::*, QString>> values)
{
    TEXEVersionData data;
    for (const auto &[member, value] : values) {
        data.*member = value;
    }
    return data;
}

VersionBlock readFile(const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"program"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        ADD_FAILURE() << "cannot write the test file";
        return {};
    }
    file.close();
    return readVersionStrings(path);
}

} // namespace

TEST(VersionInfo, TheProgramsOwnFileCarriesItsBlock)
{
    const QString self = QCoreApplication::applicationFilePath();
    const VersionBlock own = readVersionStrings(self);
    ASSERT_EQ(own.error, QString());
    EXPECT_EQ(own.strings.CompanyName, u"BRELLAN"_s);
    EXPECT_EQ(own.strings.ProductName, u"Quorvel"_s);
    EXPECT_EQ(own.strings.FileDescription, u"Quorvel"_s);
    EXPECT_EQ(own.strings.InternalName, u"Quorvel"_s);
    EXPECT_EQ(own.strings.FileVersion, u"2.2.0.0"_s);
    EXPECT_EQ(own.strings.ProductVersion, u"2.2.0.0"_s);
    EXPECT_EQ(own.strings.PrivateBuild, QString());
    EXPECT_EQ(own.strings.SpecialBuild, QString());
    EXPECT_EQ(own.strings.Comments, QString());
    EXPECT_EQ(own.fileVersion, (FixedFileVersion{2, 2, 0, 0}));
    EXPECT_EQ(own.translationKey, u"040904e4"_s);

    const AppIdentity identity = readAppIdentity(self);
    EXPECT_EQ(identity.error, QString());
    EXPECT_EQ(identity.AppTitle, u"BRELLAN - Quorvel"_s);
    EXPECT_EQ(identity.AppVersion, u"2.2"_s);
    // The version the build was configured with is the one its block carries.
    EXPECT_EQ(projectAppVersion(), identity.AppVersion);
    EXPECT_EQ(identity.AppProductName, u"Quorvel"_s);
    EXPECT_EQ(identity.CompanyName, u"BRELLAN"_s);

    // The marker must occur once: a second copy (say in the reader's constants) could be found first.
    QFile file(self);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QByteArray magic = versionBlockMagic();
    const qsizetype first = bytes.indexOf(magic);
    EXPECT_GE(first, 0);
    EXPECT_EQ(bytes.indexOf(magic, first + 1), -1);
}

TEST(VersionInfo, ReadsTheFirstTranslationsEntries)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        TEXEVersionData strings;
        FixedFileVersion fileVersion;
        QString translationKey;
    };

    TEXEVersionData noComments = fullStrings();
    noComments.Comments.clear();
    const std::vector<Case> cases = {
        {"every entry, junk around the block",
         "\x7F"
         "ELF junk" +
             block(kFullLines) + "trailing junk",
         fullStrings(),
         {3, 7, 1, 42},
         u"040904e4"_s},
        {"two translations: the first one's entries only",
         block("format 1\nfixed 1 2 3 4\ntranslation 0407 04B0\ntranslation 0409 04E4\n"
               "string 040904E4 CompanyName English\nstring 040704B0 CompanyName Deutsch\n"
               "string 040904E4 ProductName only in the second\nend\n"),
         fields({{&TEXEVersionData::CompanyName, u"Deutsch"_s}}),
         {1, 2, 3, 4},
         u"040704b0"_s},
        {"without Comments the other fields are still filled",
         block(QByteArray(kFullLines).replace("string 040904E4 Comments a comment\n", "")),
         noComments,
         {3, 7, 1, 42},
         u"040904e4"_s},
        {"keys and names match whatever their ASCII case",
         block("format 1\ntranslation 0409 04e4\nstring 040904e4 companyname lower\nend\n"),
         fields({{&TEXEVersionData::CompanyName, u"lower"_s}}),
         {0, 0, 0, 0},
         u"040904e4"_s},
        {"the first of two equal entries wins",
         block("format 1\ntranslation 0409 04E4\nstring 040904E4 ProductName one\n"
               "string 040904E4 ProductName two\nend\n"),
         fields({{&TEXEVersionData::ProductName, u"one"_s}}),
         {0, 0, 0, 0},
         u"040904e4"_s},
        {"escapes, blanks and UTF-8 in a value; an empty value",
         block("format 1\ntranslation 0409 04E4\nstring 040904E4 LegalCopyright \xC2\xA9 a\\\\b \\n x \\t\n"
               "string 040904E4 Comments \nstring 040904E4 SpecialBuild\nend\n"),
         fields({{&TEXEVersionData::LegalCopyright, u"\u00A9 a\\b \n x \\t"_s}}),
         {0, 0, 0, 0},
         u"040904e4"_s},
        {"unknown kinds of line are passed over",
         block("format 1\nicon 5\n\ntranslation 0409 04E4\nstring 040904E4 CompanyName C\nend\n"),
         fields({{&TEXEVersionData::CompanyName, u"C"_s}}),
         {0, 0, 0, 0},
         u"040904e4"_s},
        {"a damaged marker before the real block",
         block("format 1\nfixed x\nend\n") + block(kFullLines),
         fullStrings(),
         {3, 7, 1, 42},
         u"040904e4"_s},
        {"largest numbers",
         block("format 1\nfixed 65535 0 65535 1\ntranslation FFFF ffff\nend\n"),
         {},
         {65535, 0, 65535, 1},
         u"ffffffff"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const VersionBlock read = readFile(c.bytes);
        EXPECT_EQ(read.error, QString());
        EXPECT_EQ(read.strings, c.strings);
        EXPECT_EQ(read.fileVersion, c.fileVersion);
        EXPECT_EQ(read.translationKey, c.translationKey);
    }
}

TEST(VersionInfo, FaultsGiveAnErrorAndNothingElse)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        QString reason;
    };

    const std::vector<Case> cases = {
        {"no block", "just some program bytes", u"no version block found"_s},
        {"empty file", "", u"no version block found"_s},
        {"marker alone at the end", block(""), u"cut short"_s},
        {"no end line", block("format 1\ntranslation 0409 04E4\n"), u"cut short"_s},
        {"zero byte before the end line",
         block(QByteArray("format 1\ntranslation 0409 04E4\n").append('\0').append("end\n")), u"cut short"_s},
        {"no translation table", block("format 1\nfixed 2 2 0 0\nstring 040904E4 CompanyName B\nend\n"),
         u"no translation table"_s},
        {"no format line", block("translation 0409 04E4\nend\n"), u"damaged (line 1)"_s},
        {"a later format", block("format 2\ntranslation 0409 04E4\nend\n"), u"unknown format"_s},
        {"short translation", block("format 1\ntranslation 409 4E4\nend\n"), u"damaged (line 2)"_s},
        {"translation not hex", block("format 1\ntranslation 04G9 04E4\nend\n"), u"damaged (line 2)"_s},
        {"three numbers in fixed", block("format 1\nfixed 2 2 0\ntranslation 0409 04E4\nend\n"), u"damaged (line 2)"_s},
        {"number above 65535", block("format 1\nfixed 2 65536 0 0\ntranslation 0409 04E4\nend\n"),
         u"damaged (line 2)"_s},
        {"signed number", block("format 1\nfixed +2 2 0 0\ntranslation 0409 04E4\nend\n"), u"damaged (line 2)"_s},
        {"string key of seven digits", block("format 1\ntranslation 0409 04E4\nstring 040904E CompanyName B\nend\n"),
         u"damaged (line 3)"_s},
        {"string without a name", block("format 1\ntranslation 0409 04E4\nstring 040904E4\nend\n"),
         u"damaged (line 3)"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const VersionBlock read = readFile(c.bytes);
        EXPECT_TRUE(read.error.contains(c.reason)) << read.error.toStdString();
        EXPECT_EQ(read.strings, TEXEVersionData());
        EXPECT_EQ(read.fileVersion, (FixedFileVersion{}));
    }
}

TEST(VersionInfo, EveryCutOfABlockIsAnError)
{
    const QByteArray whole = block(kFullLines);
    for (qsizetype length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        const VersionBlock read = parseVersionBlock(QByteArrayView(whole).first(length));
        EXPECT_FALSE(read.error.isEmpty());
        EXPECT_EQ(read.strings, TEXEVersionData());
    }
    EXPECT_EQ(parseVersionBlock(whole).error, QString());
}

TEST(VersionInfo, PathsThatAreNoProgramFile)
{
    QTemporaryDir dir;

    struct Case
    {
        const char *name;
        QString path;
    };

    const std::vector<Case> cases = {
        {"missing file", dir.filePath(u"missing"_s)},
        {"a folder", dir.path()},
        {"a device", u"/dev/zero"_s},
        {"empty path", QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const VersionBlock read = readVersionStrings(c.path);
        EXPECT_TRUE(read.error.startsWith(u"Cannot read the version information of"_s)) << read.error.toStdString();
        EXPECT_EQ(readAppIdentity(c.path).AppTitle, QString());
    }
}

TEST(VersionInfo, IdentityTexts)
{
    struct Case
    {
        const char *name;
        FixedFileVersion version;
        QString appVersion;
    };

    const std::vector<Case> cases = {
        {"major and minor only", {2, 2, 0, 0}, u"2.2"_s},
        {"patch and build are left out", {10, 0, 7, 9}, u"10.0"_s},
        {"16-bit parts print unsigned", {65535, 65535, 0, 0}, u"65535.65535"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(appVersionOf(c.version), c.appVersion);
    }
    EXPECT_EQ(appTitleOf(fields(
                  {{&TEXEVersionData::CompanyName, u"BRELLAN"_s}, {&TEXEVersionData::ProductName, u"Quorvel"_s}})),
              u"BRELLAN - Quorvel"_s);
    EXPECT_EQ(appTitleOf(TEXEVersionData()), u" - "_s);
}

} // namespace quorvel::test
