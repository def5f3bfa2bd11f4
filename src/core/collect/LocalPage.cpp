#include "core/collect/LocalPage.h"

#include "core/common/Text.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

bool isLocalAddress(const QString &address)
{
    return address.startsWith(u"file:///"_s);
}

QString localPathOf(const QString &address)
{
    return address.mid(7);
}

QString localAddressOf(const QString &path)
{
    return u"file://"_s + path;
}

QString decodeLocalFile(const QByteArray &bytes)
{
    return normaliseLineEnds(decodeLocalBytes(bytes));
}

QString decodeLocalBytes(const QByteArray &bytes)
{
    // Stateless, so a sequence cut off at the end of the file counts as invalid too.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        text = decodeWindows1252(bytes);
    }
    return text;
}

FileBytes readRegularFile(const QString &path, qint64 maxBytes)
{
    FileBytes result;
    const auto tooLarge = [&] {
        result.bytes = QByteArray();
        result.error = u"\"%1\" is larger than %2 MiB"_s.arg(path).arg(maxBytes / (qint64{1024} * 1024));
        return result;
    };
    const QFileInfo info(path);
    if (info.isDir()) {
        result.error = u"\"%1\" is a folder, not a file"_s.arg(path);
        return result;
    }
    if (info.exists() && !info.isFile()) {
        result.error = u"Cannot open file \"%1\". Not a regular file"_s.arg(path);
        return result;
    }
    // Opened without blocking and looked at again through the descriptor: a FIFO put in the file's
    // place after the check above is refused too instead of waiting for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.error = u"Cannot open file \"%1\". %2"_s.arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        result.error = u"Cannot open file \"%1\". %2"_s.arg(path, file.errorString());
        return result;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.error = u"Cannot open file \"%1\". Not a regular file"_s.arg(path);
        return result;
    }
    if (st.st_size > maxBytes) {
        return tooLarge();
    }
    result.bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.bytes = QByteArray();
        result.error = u"Cannot read file \"%1\". %2"_s.arg(path, file.errorString());
        return result;
    }
    if (result.bytes.size() > maxBytes) {
        return tooLarge();
    }
    return result;
}

PageText readLocalPage(const QString &address)
{
    PageText page;
    FileBytes file = readRegularFile(localPathOf(address), kPageMaxBytes);
    if (!file.error.isEmpty()) {
        page.error = std::move(file.error);
        return page;
    }
    // The bytes go before the line ends are normalised, and the text is normalised in its own
    // storage: the page is never held twice as text.
    QString text = decodeLocalBytes(file.bytes);
    file.bytes = QByteArray();
    page.text = normaliseLineEnds(std::move(text));
    return page;
}

} // namespace quorvel
