#include "core/collect/LocalPage.h"

#include "core/common/Text.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace quorvel {

bool IsLocalAddress(const QString &address)
{
    return address.startsWith(u"file:///"_s);
}

QString LocalPathOf(const QString &address)
{
    return address.mid(7);
}

QString LocalAddressOf(const QString &path)
{
    return u"file://"_s + path;
}

QString DecodeLocalFile(const QByteArray &bytes)
{
    return normaliseLineEnds(DecodeLocalBytes(bytes));
}

QString DecodeLocalBytes(const QByteArray &bytes)
{
    // Stateless, so a sequence cut off at the end of the file counts as invalid too.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        text = decodeWindows1252(bytes);
    }
    return text;
}

PageText ReadLocalPage(const QString &address)
{
    PageText page;
    const QString path = LocalPathOf(address);
    const QFileInfo info(path);
    if (info.isDir()) {
        page.error = u"\"%1\" is a folder, not a file"_s.arg(path);
        return page;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        page.error = u"Cannot open file \"%1\". %2"_s.arg(path, file.errorString());
        return page;
    }
    if (file.size() > kPageMaxBytes) {
        page.error = u"\"%1\" is larger than %2 MiB"_s.arg(path).arg(kPageMaxBytes / (1024 * 1024));
        return page;
    }
    QByteArray bytes = file.read(kPageMaxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        page.error = u"Cannot read file \"%1\". %2"_s.arg(path, file.errorString());
        return page;
    }
    if (bytes.size() > kPageMaxBytes) {
        page.error = u"\"%1\" is larger than %2 MiB"_s.arg(path).arg(kPageMaxBytes / (1024 * 1024));
        return page;
    }
    // The bytes go before the line ends are normalised, so three copies of the page never coexist.
    QString text = DecodeLocalBytes(bytes);
    bytes = QByteArray();
    page.text = normaliseLineEnds(text);
    return page;
}

} // namespace quorvel
