#pragma once

// A loopback site for the window's check-pass tests.

#include "gui/app/AppFormDriver.h"
#include "support/LoopbackServer.h"

#include <QString>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::test {

// A site on 127.0.0.1 for the check pass; it logs every request it answers.
class CheckSite final
{
public:
    struct Request
    {
        std::string method;
        std::string path;
        std::string agent;
    };

    CheckSite()
    {
        httplib::Server &server = m_server.server();
        server.Get("/ok", logged([](const httplib::Request &, httplib::Response &res) {
                       res.set_content("fine", "text/plain");
                   }));
        server.Get("/after", logged([](const httplib::Request &, httplib::Response &res) {
                       res.set_content("after", "text/plain");
                   }));
        server.Get("/gone", logged([](const httplib::Request &, httplib::Response &res) { res.status = 404; }));
        server.Get("/moved",
                   logged([](const httplib::Request &, httplib::Response &res) { res.set_redirect("/target", 301); }));
        server.Get("/target", logged([](const httplib::Request &, httplib::Response &res) {
                       res.set_content("target", "text/plain");
                   }));
        // Answers once released, or after about five seconds.
        server.Get("/slow", logged([this](const httplib::Request &, httplib::Response &res) {
                       slowEntered = true;
                       for (int step = 0; step < 500 && !m_release; ++step) {
                           std::this_thread::sleep_for(std::chrono::milliseconds(10));
                       }
                       res.set_content("slow", "text/plain");
                   }));
        // Wait until it listens: a stop that comes before that is lost and would leave the server
        // thread running (a test may end without asking the site anything).
        if (!m_server.start() || !QTest::qWaitFor([this] { return m_server.server().is_running(); }, kRunWaitMs)) {
            throw std::runtime_error("the loopback server did not start");
        }
    }

    ~CheckSite() { m_release = true; }

    CheckSite(const CheckSite &) = delete;
    CheckSite &operator=(const CheckSite &) = delete;

    QString url(const QString &path) const { return m_server.url(path); }

    std::vector<Request> requests()
    {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

    int hits(const std::string &path)
    {
        const std::lock_guard lock(m_mutex);
        return static_cast<int>(
            std::count_if(m_requests.begin(), m_requests.end(), [&path](const Request &r) { return r.path == path; }));
    }

    // Lets /slow answer now.
    void release() { m_release = true; }

    std::atomic<bool> slowEntered{false};

private:
    httplib::Server::Handler logged(httplib::Server::Handler answer)
    {
        return [this, answer](const httplib::Request &req, httplib::Response &res) {
            {
                const std::lock_guard lock(m_mutex);
                m_requests.push_back({req.method, req.path, req.get_header_value("User-Agent")});
            }
            answer(req, res);
        };
    }

    std::atomic<bool> m_release{false};
    std::mutex m_mutex;
    std::vector<Request> m_requests;
    LoopbackServer m_server;
};

} // namespace quorvel::test
