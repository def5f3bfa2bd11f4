#pragma once

namespace quorvel::bench {

// The process's resident memory now (VmRSS), in KiB; -1 when it cannot be read.
long residentKb();

} // namespace quorvel::bench
