#pragma once

#include <QString>

#include <httplib.h>

#include <memory>
#include <thread>

namespace quorvel::test {

// A real HTTP (or HTTPS) server on 127.0.0.1 with a port chosen by the system, serving on its own
// thread until destroyed. Handlers are registered on server() before start().
class LoopbackServer final
{
public:
    enum class Scheme { Http, Https };

    explicit LoopbackServer(Scheme scheme = Scheme::Http);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    httplib::Server &server() { return *m_server; }

    // Binds, raises the listen backlog and starts serving; returns false when binding failed.
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

// Writes a throw-away self-signed certificate and key (once per process) and returns their paths.
struct TestCertificate
{
    std::string certFile;
    std::string keyFile;
};
const TestCertificate &testCertificate();

} // namespace quorvel::test
