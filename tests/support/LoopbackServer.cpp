#include "support/LoopbackServer.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvel::test {

const TestCertificate &testCertificate()
{
    static std::once_flag once;
    static TestCertificate certificate;
    static QTemporaryDir dir;
    std::call_once(once, [] {
        const QString cert = dir.filePath(u"cert.pem"_s);
        const QString key = dir.filePath(u"key.pem"_s);
        const int rc =
            QProcess::execute(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s,
                                             u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s, u"-days"_s, u"2"_s,
                                             u"-subj"_s, u"/CN=127.0.0.1"_s, u"-keyout"_s, key, u"-out"_s, cert});
        if (rc != 0) {
            throw std::runtime_error("openssl could not make a test certificate");
        }
        certificate.certFile = cert.toStdString();
        certificate.keyFile = key.toStdString();
    });
    return certificate;
}

LoopbackServer::LoopbackServer(Scheme scheme)
    : m_scheme(scheme)
{
    if (scheme == Scheme::Https) {
        const TestCertificate &c = testCertificate();
        m_server = std::make_unique<httplib::SSLServer>(c.certFile.c_str(), c.keyFile.c_str());
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    // Debian's build queues 5 connections and runs a handful of threads; parallel checks need more.
    m_server->new_task_queue = [] {
        return new httplib::ThreadPool(64);
    };
    m_server->set_socket_options([this](socket_t sock) {
        httplib::default_socket_options(sock);
        m_listenFd = sock;
    });
    m_server->set_keep_alive_max_count(1000);
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

bool LoopbackServer::bind()
{
    if (m_port > 0) {
        return true;
    }
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        return false;
    }
    if (m_listenFd >= 0) {
        ::listen(m_listenFd, 1024);
    }
    return true;
}

bool LoopbackServer::start()
{
    if (!bind()) {
        return false;
    }
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() does nothing to a server whose loop has not begun, which would then accept forever:
    // return only once it runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_server->is_running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

namespace {

// A connection to the port and nothing more: returns an accept() that is still waiting on the
// listening socket, whose loop then sees that the server was stopped.
void knockOn(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::close(fd);
}

} // namespace

void LoopbackServer::stop()
{
    if (m_thread.joinable()) {
        m_server->stop();
        knockOn(m_port);
        m_thread.join();
    }
}

QString LoopbackServer::url(const QString &path) const
{
    const QString scheme = m_scheme == Scheme::Https ? u"https"_s : u"http"_s;
    return scheme + u"://127.0.0.1:"_s + QString::number(m_port) + path;
}

namespace {

// A TCP socket bound to 127.0.0.1 with a port chosen by the system, or -1.
int boundLoopbackSocket(int *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

QString loopbackUrl(int port, const QString &path)
{
    return u"http://127.0.0.1:"_s + QString::number(port) + path;
}

} // namespace

RawServer::Connection::Connection(RawServer &server, int fd)
    : m_server(server)
    , m_fd(fd)
{}

QByteArray RawServer::Connection::readRequestHead()
{
    QByteArray head;
    char buffer[4096];
    while (!head.contains("\r\n\r\n")) {
        const int fd = m_fd.load();
        if (fd < 0) {
            break;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        head.append(buffer, n);
    }
    return head;
}

bool RawServer::Connection::send(QByteArrayView bytes)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const int fd = m_fd.load();
        if (fd < 0) {
            return false;
        }
        const ssize_t n = ::send(fd, bytes.data() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += n;
    }
    return true;
}

void RawServer::Connection::waitForShutdown()
{
    std::unique_lock lock(m_server.m_mutex);
    m_server.m_shutdown.wait(lock, [this] { return m_server.m_stopping.load(); });
}

bool RawServer::Connection::waitForShutdownFor(int ms)
{
    std::unique_lock lock(m_server.m_mutex);
    return m_server.m_shutdown.wait_for(lock, std::chrono::milliseconds(ms),
                                        [this] { return m_server.m_stopping.load(); });
}

void RawServer::Connection::reset()
{
    const std::lock_guard lock(m_server.m_mutex);
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) {
        // A zero linger time makes close() send RST and drop what was not sent yet.
        const linger abort{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(fd);
    }
}

void RawServer::Connection::close()
{
    // Under the server's lock, so its destructor never shuts down a number reused meanwhile.
    const std::lock_guard lock(m_server.m_mutex);
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
}

RawServer::RawServer(Handler handler)
    : m_handler(std::move(handler))
{}

RawServer::~RawServer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        // Handlers blocked in recv or send return once their socket is shut down.
        for (const auto &connection : m_open) {
            const int fd = connection->m_fd.load();
            if (fd >= 0) {
                ::shutdown(fd, SHUT_RDWR);
            }
        }
    }
    m_shutdown.notify_all();
    if (m_wakeFds[1] >= 0) {
        const char byte = 0;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeFds[1], &byte, 1);
    }
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    for (std::thread &handler : m_handlers) {
        handler.join();
    }
    for (const auto &connection : m_open) {
        connection->close();
    }
    m_open.clear();
    for (const int fd : {m_listenFd, m_wakeFds[0], m_wakeFds[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool RawServer::start()
{
    m_listenFd = boundLoopbackSocket(&m_port);
    if (m_listenFd < 0 || ::listen(m_listenFd, 1024) != 0 || ::pipe2(m_wakeFds, O_CLOEXEC) != 0) {
        return false;
    }
    m_acceptThread = std::thread([this] { acceptLoop(); });
    return true;
}

void RawServer::acceptLoop()
{
    while (true) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFds[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const std::lock_guard lock(m_mutex);
        if (m_stopping) {
            ::close(fd);
            return;
        }
        ++m_connections;
        m_open.push_back(std::unique_ptr<Connection>(new Connection(*this, fd)));
        Connection *connection = m_open.back().get();
        m_handlers.emplace_back([this, connection] {
            m_handler(*connection);
            connection->close();
        });
    }
}

QString RawServer::url(const QString &path) const
{
    return loopbackUrl(m_port, path);
}

FullBacklogPort::FullBacklogPort()
{
    m_listenFd = boundLoopbackSocket(&m_port);
    // A backlog of 0 leaves room for one finished handshake; the kernel drops later SYNs.
    if (m_listenFd < 0 || ::listen(m_listenFd, 0) != 0) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(m_port));
    for (int attempt = 0; attempt < 16 && !m_full; ++attempt) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return;
        }
        m_clients.push_back(fd);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
            continue;
        }
        // A connection that does not complete within this probe means the queue is full.
        pollfd pfd{fd, POLLOUT, 0};
        m_full = ::poll(&pfd, 1, 200) == 0;
    }
}

FullBacklogPort::~FullBacklogPort()
{
    for (const int fd : m_clients) {
        ::close(fd);
    }
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
    }
}

QString FullBacklogPort::url(const QString &path) const
{
    return loopbackUrl(m_port, path);
}

int refusedPort()
{
    int port = 0;
    const int fd = boundLoopbackSocket(&port);
    if (fd >= 0) {
        ::close(fd); // bound but never listening, then released: connections are refused
    }
    return port;
}

} // namespace quorvel::test
