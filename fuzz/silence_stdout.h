#pragma once

#include <cstdio>
#include <cstdlib>

// The control curve prints its complaints about a degenerate path on standard output, which
// would flood the fuzzer's log and cost a write per run; the load target sends standard output
// to /dev/null once.
inline int silenceStdout() {
    std::fflush(stdout);
    if (!std::freopen("/dev/null", "w", stdout)) {
        std::abort();
    }
    return 0;
}
