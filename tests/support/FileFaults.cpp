#include "support/FileFaults.h"

#include <QFile>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool makeFullDevice(const QString &path)
{
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, 7)) == 0;
}

bool makeHugeFile(const QString &path, const QByteArray &head, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(head) == head.size() && file.resize(size);
}

QString kindOf(const QString &path)
{
    struct stat info; // filled by a successful stat
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return u"missing"_s;
    }
    if (S_ISREG(info.st_mode)) {
        return u"file"_s;
    }
    if (S_ISDIR(info.st_mode)) {
        return u"folder"_s;
    }
    if (S_ISFIFO(info.st_mode)) {
        return u"fifo"_s;
    }
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
        return u"device"_s;
    }
    return u"other"_s;
}

FifoWatchdog::FifoWatchdog(QStringList fifos, int timeoutMs)
{
    m_thread = std::thread([this, fifos = std::move(fifos), timeoutMs] {
        std::unique_lock lock(m_mutex);
        if (m_dismissed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_done; })) {
            return;
        }
        m_released = true;
        for (const QString &fifo : fifos) {
            // O_RDWR never waits for a partner; closing at once gives the blocked reader its end.
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
            }
        }
    });
}

FifoWatchdog::~FifoWatchdog()
{
    dismiss();
}

bool FifoWatchdog::dismiss()
{
    {
        const std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_dismissed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return !m_released;
}

FileSizeLimit::FileSizeLimit(rlim_t maxBytes)
{
    if (::getrlimit(RLIMIT_FSIZE, &m_saved) != 0) {
        return;
    }
    m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = m_saved;
    limited.rlim_cur = maxBytes;
    m_active = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_active) {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
    }
    std::signal(SIGXFSZ, m_savedHandler == SIG_ERR ? SIG_DFL : m_savedHandler);
}

} // namespace quorvel::test
