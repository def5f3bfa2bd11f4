#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <sys/resource.h>
#include <thread>

namespace quorvel::test {

// Makes a FIFO at path (nobody writes to it); false when the system refuses.
bool makeFifo(const QString &path);

// Makes a character device node at path with the numbers of /dev/full (1, 7): a stand-in for it that
// a faulty program can replace without harming the system. False when not permitted (no root).
bool makeFullDevice(const QString &path);

// Makes a file of size bytes that begins with head; the rest reads as zero bytes and takes no disk
// space (a sparse file), so a huge file costs nothing to make.
bool makeHugeFile(const QString &path, const QByteArray &head, qint64 size);

// What is at path: "file", "folder", "fifo", "device", "missing" or "other" (links are followed).
QString kindOf(const QString &path);

// Guards a test against a read that blocks on a FIFO: if not dismissed within timeoutMs, it opens
// each FIFO once for writing and closes it again, which ends any open or read waiting on it, and
// records that it had to.
class FifoWatchdog final
{
public:
    FifoWatchdog(QStringList fifos, int timeoutMs);
    ~FifoWatchdog();
    FifoWatchdog(const FifoWatchdog &) = delete;
    FifoWatchdog &operator=(const FifoWatchdog &) = delete;

    // Stops watching; true when the work ended in time (no FIFO had to be released).
    bool dismiss();

private:
    std::mutex m_mutex;
    std::condition_variable m_dismissed;
    bool m_done = false;
    bool m_released = false;
    std::thread m_thread;
};

// While it lives, no file of this process may grow beyond maxBytes (RLIMIT_FSIZE): a write past it
// fails as on a full disk, without needing one. SIGXFSZ is ignored meanwhile.
class FileSizeLimit final
{
public:
    explicit FileSizeLimit(rlim_t maxBytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    bool m_active = false;
    void (*m_savedHandler)(int) = nullptr;
};

} // namespace quorvel::test
