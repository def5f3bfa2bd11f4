#pragma once

#include "core/collect/LocalPage.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <optional>

namespace quorvel {

constexpr int kPageConnectTimeoutMs = 30'000;
constexpr int kPageIdleTimeoutMs = 60'000;
// A page that trickles in never trips the idle bound; this ends it.
constexpr int kPageTotalTimeoutMs = 600'000;

struct FetchOptions
{
    QString userAgent;
    const std::atomic<bool> *cancel = nullptr;
    int connectTimeoutMs = kPageConnectTimeoutMs;
    int idleTimeoutMs = kPageIdleTimeoutMs;
    int totalTimeoutMs = kPageTotalTimeoutMs;
    // When the total bound's clock started, for a bound shared with an earlier request; unset: when
    // this fetch starts.
    std::optional<std::chrono::steady_clock::time_point> totalSince;
    qint64 maxBytes = kPageMaxBytes;
};

// A fetched page: its text (CR LF line ends) or the error; a redirect answer's body is the page and
// its Location is reported, never followed.
struct FetchedPage
{
    QString text;
    QString error;            // empty on success
    QString redirectLocation; // the Location of a 3xx answer as sent, else empty
    int statusCode = -1;
};

// One GET of an http or https address; any other address fails with "Unknown Protocol".
FetchedPage FetchPage(const QString &address, const FetchOptions &options);

} // namespace quorvel
