#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <httplib.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel::test {

// A real HTTP (or HTTPS) server on 127.0.0.1 with a port chosen by the system, serving on its own
// thread until destroyed. Handlers are registered on server() before start().
class LoopbackServer final
{
public:
    enum class Scheme
    {
        Http,
        Https
    };

    explicit LoopbackServer(Scheme scheme = Scheme::Http);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    httplib::Server &server() { return *m_server; }

    // Binds and raises the listen backlog, so port() and url() are known before any thread serves;
    // false when binding failed. start() binds first when this was not called.
    bool bind();
    // Starts serving; returns false when binding failed.
    bool start();
    void stop();

    int port() const { return m_port; }

    // "http://127.0.0.1:PORT" + path (or https).
    QString url(const QString &path) const;

private:
    Scheme m_scheme;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    int m_listenFd = -1;
};

// A bare TCP server on 127.0.0.1 for answers no HTTP library sends: odd status lines, stalls,
// connections cut mid-body. Each connection runs the handler on a thread of its own; destroying the
// server wakes every handler still waiting and joins them.
class RawServer final
{
public:
    class Connection
    {
    public:
        // The request head up to its blank line; what arrived when the peer closed first.
        QByteArray readRequestHead();
        bool send(QByteArrayView bytes);
        // Blocks until the server is being destroyed.
        void waitForShutdown();
        // Waits at most ms for the server to be destroyed; true when it is. Paces slow answers.
        bool waitForShutdownFor(int ms);
        // Closes the connection now (it is closed anyway when the handler returns).
        void close();
        // Aborts the connection with a TCP reset (RST) instead of an orderly close.
        void reset();

    private:
        friend class RawServer;
        Connection(RawServer &server, int fd);
        RawServer &m_server;
        std::atomic<int> m_fd;
    };

    using Handler = std::function<void(Connection &)>;

    explicit RawServer(Handler handler);
    ~RawServer();
    RawServer(const RawServer &) = delete;
    RawServer &operator=(const RawServer &) = delete;

    bool start();

    int port() const { return m_port; }

    // "http://127.0.0.1:PORT" + path.
    QString url(const QString &path) const;

    int connectionCount() const { return m_connections.load(); }

private:
    void acceptLoop();

    Handler m_handler;
    int m_listenFd = -1;
    int m_wakeFds[2] = {-1, -1};
    int m_port = 0;
    std::atomic<int> m_connections{0};
    std::thread m_acceptThread;
    std::mutex m_mutex;
    std::condition_variable m_shutdown;
    std::atomic<bool> m_stopping{false};
    std::vector<std::unique_ptr<Connection>> m_open;
    std::vector<std::thread> m_handlers;
};

// A listening socket on 127.0.0.1 whose accept queue is full and never drained: a new connection
// attempt gets no answer, so the client waits until its connect time-out.
class FullBacklogPort final
{
public:
    FullBacklogPort();
    ~FullBacklogPort();
    FullBacklogPort(const FullBacklogPort &) = delete;
    FullBacklogPort &operator=(const FullBacklogPort &) = delete;

    // False when the queue could not be seen to fill up (the test should then be skipped).
    bool isFull() const { return m_full; }

    QString url(const QString &path) const;

private:
    int m_listenFd = -1;
    int m_port = 0;
    bool m_full = false;
    std::vector<int> m_clients;
};

// A port on 127.0.0.1 where nothing listens: connecting is refused.
int refusedPort();

// Writes a throw-away self-signed certificate and key (once per process) and returns their paths.
struct TestCertificate
{
    std::string certFile;
    std::string keyFile;
};

const TestCertificate &testCertificate();

} // namespace quorvel::test
