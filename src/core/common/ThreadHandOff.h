#pragma once

// Qt from the distribution is not built with ThreadSanitizer, so the ordering its own locks give
// (a queued quit, a thread's end seen by QThread::wait) is invisible to it, and it reports the
// object handed on as a race. These mark such a hand-off where our code makes it: everything a
// thread did before handOffRelease(p) is ordered before what another thread does after
// handOffAcquire(p). Outside a ThreadSanitizer build they are empty.

#if defined(__SANITIZE_THREAD__)
#define QUORVEL_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QUORVEL_TSAN 1
#endif
#endif

#ifdef QUORVEL_TSAN
#include <sanitizer/tsan_interface.h>
extern "C" void AnnotateIgnoreWritesBegin(const char *file, int line);
extern "C" void AnnotateIgnoreWritesEnd(const char *file, int line);
#endif

namespace quorvel {

inline void handOffRelease([[maybe_unused]] const void *object)
{
#ifdef QUORVEL_TSAN
    __tsan_release(const_cast<void *>(object));
#endif
}

inline void handOffAcquire([[maybe_unused]] const void *object)
{
#ifdef QUORVEL_TSAN
    __tsan_acquire(const_cast<void *>(object));
#endif
}

// While it lives, what this thread writes is not tracked: for a call queued to another thread,
// whose event Qt hands on under its own lock.
class QueuedCallHandOff final
{
public:
    QueuedCallHandOff() // NOLINT(modernize-use-equals-default): under ThreadSanitizer it marks the hand-off
    {
#ifdef QUORVEL_TSAN
        AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
#endif
    }

    ~QueuedCallHandOff() // NOLINT(modernize-use-equals-default): under ThreadSanitizer it ends the mark
    {
#ifdef QUORVEL_TSAN
        AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
#endif
    }

    QueuedCallHandOff(const QueuedCallHandOff &) = delete;
    QueuedCallHandOff &operator=(const QueuedCallHandOff &) = delete;
};

} // namespace quorvel
