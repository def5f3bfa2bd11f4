#pragma once

#include <QByteArray>
#include <QString>

namespace quorvel {

// The most page text a run takes in, from a file or a server (bytes after decompression).
constexpr qint64 kPageMaxBytes = 64LL * 1024 * 1024;

// The text of a page, or the reason it could not be had (error empty on success).
struct PageText
{
    QString text;
    QString error;
};

// True when the address names a local file: it begins with "file:///" (case-sensitive).
bool isLocalAddress(const QString &address);

// The file a "file:///" address names: the absolute path after "file://" ("file:///home/u/a.html"
// names /home/u/a.html). This is also the run's base.
QString localPathOf(const QString &address);

// The URL-box form of a local path: "file://" followed by the absolute path.
QString localAddressOf(const QString &path);

// UTF-8 (a byte-order mark skipped), else windows-1252; lines ended by CR LF.
QString decodeLocalFile(const QByteArray &bytes);
// The same without the line-end normalisation.
QString decodeLocalBytes(const QByteArray &bytes);

// The bytes of a local file, or the reason they could not be had (error empty on success).
struct FileBytes
{
    QByteArray bytes;
    QString error;
};

// Reads a whole regular file of at most maxBytes. Anything else (a folder, a FIFO, a device, a
// socket) is refused without being opened for long, so a FIFO with no writer never hangs the caller;
// a file that is or grows larger than maxBytes is refused without reading more than maxBytes + 1.
FileBytes readRegularFile(const QString &path, qint64 maxBytes);

// Reads the file a "file:///" address names. A missing, unreadable or oversized file, a folder, or
// anything that is not a regular file gives an error.
PageText readLocalPage(const QString &address);

} // namespace quorvel
