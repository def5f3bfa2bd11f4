#pragma once

namespace quorvel {

// How many links the broken-link check asks at once.

// The check itself (a larger count is clamped) and the CLI's --parallel: 1 to 1024 requests in
// flight.
constexpr int kMinParallelRequests = 1;
constexpr int kMaxParallelRequests = 1024;
// The count either front end uses when none is given.
constexpr int kDefaultParallelRequests = 16;

// Requests in flight to one host:port at once: a site is not a benchmark. The CLI's --per-host
// takes the whole range (a loopback benchmark may ask a single host as hard as it likes).
constexpr int kMinPerHostRequests = 1;
constexpr int kMaxPerHostRequests = kMaxParallelRequests;
constexpr int kDefaultPerHostRequests = 4;

// The window's "ParallelChecks" option: a smaller range, because the window also redraws a row for
// every answer.
constexpr int kMinParallelChecksOption = kMinParallelRequests;
constexpr int kMaxParallelChecksOption = 64;
constexpr int kDefaultParallelChecksOption = kDefaultParallelRequests;

// The window's "PerHost" option, in the same smaller range.
constexpr int kMinPerHostOption = kMinPerHostRequests;
constexpr int kMaxPerHostOption = 64;
constexpr int kDefaultPerHostOption = kDefaultPerHostRequests;

} // namespace quorvel
