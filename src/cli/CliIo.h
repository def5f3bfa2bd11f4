#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

namespace quorvel {

// The exit statuses of quorvel-cli.
constexpr int kExitOk = 0;
constexpr int kExitBroken = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPageFailed = 3;
constexpr int kExitOutputFailed = 4;
// A progress line is redrawn at most this often.
constexpr qint64 kProgressIntervalMs = 100;
// An Ignore URLs list is a few lines of address prefixes; a bigger file is a mistake, not a list.
constexpr qint64 kIgnoreUrlsMaxBytes = 16LL * 1024 * 1024;

// Writes to standard output. After the first failed write (a full disk, a closed pipe) later
// writes are skipped: the output is lost either way, and the run ends with kExitOutputFailed.
void writeOut(const QByteArray &bytes);
// Flushes standard output; false when any write to it failed.
bool finishOut();
// Why the first write to standard output failed, in words; empty while every write went through.
QString outputError();

// One message line on standard error; control characters in it (from a page, a server, a file
// name) are written as visible escapes.
void writeErr(const QString &text);

// A usage error: the message, the synopsis and a pointer to --help on standard error; returns
// kExitUsage.
int usageError(const QString &message);

// SIGINT or SIGTERM, once received: the runs poll the flag and end early.
extern std::atomic<bool> g_stop;
extern std::atomic<int> g_signal;
// A first Ctrl-C stops the run and prints what it has; a second one ends the program at once.
void catchStopSignals();

// Shows how far a long operation is, on standard error and only when that is a terminal.
class Progress
{
public:
    Progress();
    void show(const QString &text);
    // Erases the line shown, if any.
    void done();

private:
    bool m_enabled;
    bool m_shown = false;
};

} // namespace quorvel
