#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

namespace quorvel {

// The twelve texts of a version block, in the order they are looked up. A field whose entry the
// block lacks stays empty.
struct TEXEVersionData
{
    QString CompanyName;
    QString FileDescription;
    QString FileVersion;
    QString InternalName;
    QString LegalCopyright;
    QString LegalTrademarks;
    QString OriginalFileName;
    QString ProductName;
    QString ProductVersion;
    QString Comments;
    QString PrivateBuild;
    QString SpecialBuild;

    friend bool operator==(const TEXEVersionData &, const TEXEVersionData &) = default;
};

// The fixed part of a version block: major, minor, patch, build (2.2.0.0 is {2, 2, 0, 0}).
using FixedFileVersion = std::array<quint16, 4>;

// What readVersionStrings found. On failure error says why and the other fields are empty.
struct VersionBlock
{
    TEXEVersionData strings;
    FixedFileVersion fileVersion{};
    QString translationKey; // "%.4x%.4x" of the first translation, e.g. "040904e4"
    QString error;          // empty on success
};

// Reads the version block that the build placed in an executable (see
// resources/VersionBlock.cpp.in): the first translation of its table chooses the string entries,
// each of the twelve fields is filled when its entry exists. A file that cannot be read, a file
// without a block, a block cut short or damaged and a block without a translation table give an
// error and nothing else. The program's identity depends on this call, so it reports instead of
// throwing: the caller decides how to stop.
VersionBlock readVersionStrings(const QString &path);

// The same on bytes already in memory (the whole file); error messages do not name a file.
VersionBlock parseVersionBlock(QByteArrayView fileBytes);

// The bytes that open every version block. Assembled at run time, so that no constant of the
// reader holds them and a scan of the program's own file finds the block alone.
QByteArray versionBlockMagic();

// AppVersion: "%d.%d" of the major and minor parts (2.2.0.0 gives "2.2").
QString appVersionOf(const FixedFileVersion &fileVersion);

// The AppVersion of this build: major and minor of the project's version, the one its version
// block holds ("2.2"). For a front end that shows its version without reading its own file.
QString projectAppVersion();

// AppTitle: CompanyName, " - ", ProductName ("BRELLAN - Quorvel").
QString appTitleOf(const TEXEVersionData &strings);

// The program-wide identity values that start-up derives from the program's own file.
struct AppIdentity
{
    QString AppProductName;
    QString AppTitle;
    QString AppVersion;
    QString CompanyName; // also names the fallback data folder
    QString error;       // empty on success; the other fields are then empty
};

AppIdentity readAppIdentity(const QString &programFile);

} // namespace quorvel
