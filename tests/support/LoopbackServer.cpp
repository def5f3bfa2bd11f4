#include "support/LoopbackServer.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/socket.h>

#include <cstdlib>
#include <mutex>
#include <stdexcept>

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
        const int rc = QProcess::execute(u"openssl"_s, {u"req"_s, u"-x509"_s, u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s,
                                                        u"-nodes"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                                                        u"/CN=127.0.0.1"_s, u"-keyout"_s, key, u"-out"_s, cert});
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
    m_server->new_task_queue = [] { return new httplib::ThreadPool(64); };
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

bool LoopbackServer::start()
{
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        return false;
    }
    if (m_listenFd >= 0) {
        ::listen(m_listenFd, 1024);
    }
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    return true;
}

void LoopbackServer::stop()
{
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

QString LoopbackServer::url(const QString &path) const
{
    const QString scheme = m_scheme == Scheme::Https ? u"https"_s : u"http"_s;
    return scheme + u"://127.0.0.1:"_s + QString::number(m_port) + path;
}

} // namespace quorvel::test
