#include "core/app/UrlHistory.h"

#include "core/common/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvel {

TextLines ReadTextLines(const QString &path, TextEncoding encoding)
{
    TextLines result;
    if (const QFileInfo info(path); info.exists() && !info.isFile()) {
        result.status = TextLines::Status::ReadError;
        result.error = u"Cannot open file \"%1\". Not a regular file"_s.arg(info.absoluteFilePath());
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = TextLines::Status::ReadError;
        result.error = u"Cannot open file \"%1\". %2"_s.arg(QFileInfo(path).absoluteFilePath(), file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.status = TextLines::Status::ReadError;
        result.error = u"Cannot read file \"%1\". %2"_s.arg(QFileInfo(path).absoluteFilePath(), file.errorString());
        return result;
    }

    const QByteArrayView view(bytes);
    QString text;
    bool strictUtf8 = false;
    QStringDecoder::Encoding decodeAs = QStringDecoder::Utf8;
    qsizetype bomSize = 0;
    if (view.startsWith("\xEF\xBB\xBF")) {
        bomSize = 3;
        strictUtf8 = true;
    } else if (view.startsWith("\xFF\xFE")) {
        bomSize = 2;
        decodeAs = QStringDecoder::Utf16LE;
    } else if (view.startsWith("\xFE\xFF")) {
        bomSize = 2;
        decodeAs = QStringDecoder::Utf16BE;
    } else if (encoding == TextEncoding::Utf8) {
        strictUtf8 = true;
    }

    if (bomSize == 0 && encoding == TextEncoding::Windows1252) {
        text = decodeWindows1252(view);
    } else {
        QByteArrayView body = view.sliced(bomSize);
        if (decodeAs != QStringDecoder::Utf8 && body.size() % 2 != 0) {
            body.chop(1); // half a code unit: the file was cut short
        }
        // The mark was skipped above; a second one inside the text is a character of the text.
        // Stateless: a sequence cut off at the end of the file is an error, not silently dropped.
        QStringDecoder decoder(decodeAs, QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
        text = decoder.decode(body);
        if (strictUtf8 && decoder.hasError()) {
            result.status = TextLines::Status::DecodeError;
            result.error = u"\"%1\" is not valid UTF-8"_s.arg(QFileInfo(path).absoluteFilePath());
        }
    }
    result.lines = splitLines(text);
    return result;
}

QByteArray historyBytes(const QStringList &lines)
{
    QByteArray bytes("\xEF\xBB\xBF");
    for (const QString &line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

HistoryUpdate HistoryEkle(const QString &dataFolder, const QString &url)
{
    HistoryUpdate update;
    const QString path = QFileInfo(QDir(dataFolder).filePath(QString::fromUtf16(kHistoryFileName))).absoluteFilePath();

    QStringList lines;
    std::optional<QString> unreadable; // why an existing history could not be read at all
    if (const QFileInfo info(path); info.isFile() && info.size() > kMaxHistoryBytes) {
        unreadable = u"The history is larger than %1 MiB and is left as it is."_s.arg(kMaxHistoryBytes >> 20);
    } else if (info.exists()) {
        TextLines read = ReadTextLines(path, TextEncoding::Utf8);
        if (read.status == TextLines::Status::DecodeError) {
            TextLines ansi = ReadTextLines(path, TextEncoding::Windows1252);
            // Only a UTF-8 byte-order mark over invalid bytes fails twice; keep what the first pass read.
            if (ansi.status == TextLines::Status::Ok) {
                read = std::move(ansi);
            }
        }
        // A folder in its place is left to the write below, which names the problem.
        if (read.status == TextLines::Status::ReadError && info.isFile()) {
            QFile probe(path);
            const bool opened = probe.open(QIODevice::ReadOnly);
            unreadable = (opened || probe.errorString().isEmpty()) ? read.error : probe.errorString();
        } else if (read.status == TextLines::Status::ReadError && !info.isDir()) {
            unreadable = u"Not a regular file"_s;
        }
        lines = std::move(read.lines);
    }

    const auto done = [&] {
        update.lines = lines.size() > kHistoryListEntries ? lines.first(kHistoryListEntries) : std::move(lines);
        return update;
    };
    const auto failed = [&](const QString &reason) {
        update.error = u"Cannot create file \"%1\". %2"_s.arg(path, reason);
        return done();
    };
    if (url.isEmpty()) {
        return done();
    }
    lines.removeAll(url);
    lines.prepend(url);

    if (unreadable) {
        return failed(*unreadable);
    }
    const QByteArray bytes = historyBytes(lines);
    if (bytes.size() > kMaxHistoryBytes) {
        // It could never be read back.
        return failed(u"The history would grow beyond %1 MiB and is left as it is."_s.arg(kMaxHistoryBytes >> 20));
    }
    // Unbuffered, so a full disk shows as a short write instead of a committed, truncated file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return failed(file.errorString());
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        return failed(file.errorString());
    }
    return done();
}

QString pasteText(const QString &clipboardText)
{
    QString text = clipboardText;
    text.replace(u"\r\n"_s, u" "_s);
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    return text;
}

} // namespace quorvel
