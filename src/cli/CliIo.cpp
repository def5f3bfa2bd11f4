#include "cli/CliIo.h"

#include "cli/CliArguments.h"
#include "cli/CliOutput.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvel {

namespace {

// The first failed write to standard output (its errno), 0 while every write went through. Later
// writes are skipped: the output is lost either way, and the run ends with kExitOutputFailed.
int g_outError = 0;

} // namespace

void writeOut(const QByteArray &bytes)
{
    if (g_outError != 0 || bytes.isEmpty()) {
        return;
    }
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) !=
        static_cast<size_t>(bytes.size())) {
        g_outError = errno != 0 ? errno : EIO;
    }
}

bool finishOut()
{
    errno = 0;
    if (g_outError == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) {
        g_outError = errno != 0 ? errno : EIO;
    }
    return g_outError == 0;
}

// Standard output is flushed first: when both streams go to one file, the message follows the
// rows printed before it instead of landing inside them.
void writeErr(const QString &text)
{
    finishOut();
    const QByteArray bytes = visibleText(text).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

// SIGINT or SIGTERM, once received; the collection run and the check poll g_stop and end early.
std::atomic<bool> g_stop = false;
std::atomic<int> g_signal = 0;
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "set from a signal handler");

namespace {

void onStopSignal(int signal)
{
    g_signal.store(signal);
    g_stop.store(true);
}

} // namespace

// SA_RESETHAND: the second signal gets the default action.
void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int usageError(const QString &message)
{
    writeErr(u"quorvel-cli: "_s + message);
    for (const QString &line : cliUsage().section(u'\n', 0, 4).split(u'\n')) {
        writeErr(line);
    }
    writeErr(u"Run quorvel-cli --help for the options."_s);
    return kExitUsage;
}

QString outputError()
{
    return g_outError == 0 ? QString() : QString::fromLocal8Bit(std::strerror(g_outError));
}

Progress::Progress()
    : m_enabled(::isatty(STDERR_FILENO) == 1)
{}

void Progress::show(const QString &text)
{
    if (m_enabled) {
        const QByteArray line = "\r\033[K" + visibleText(text).toUtf8();
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        m_shown = true;
    }
}

void Progress::done()
{
    if (m_shown) {
        std::fputs("\r\033[K", stderr);
        m_shown = false;
    }
}

} // namespace quorvel
