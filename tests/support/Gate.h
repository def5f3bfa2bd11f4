#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quorvel::test {

// Holds server handlers until the test opens it (or a safety time passes), so a stalled answer
// needs no sleeping. Declare it before the server and open it before the server stops, so no
// server thread outlives its test.
class Gate final
{
public:
    explicit Gate(std::chrono::seconds safety = std::chrono::seconds(100))
        : m_safety(safety)
    {}

    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }

    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, m_safety, [this] { return m_open; });
    }

private:
    const std::chrono::seconds m_safety;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

} // namespace quorvel::test
