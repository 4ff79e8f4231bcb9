#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "numeric/run_in_halves.h"

namespace {

// Every item is done once, by the half that owns it; a short run is one piece on this thread.
TEST(RunInHalves, EveryItemOnceInTheHalfThatOwnsIt) {
    for (int count : {0, 1, 7, 5000, 5001}) {
        std::vector<int> doneBy(static_cast<std::size_t>(count), -1);
        runInHalves(count, 1000, [&](int first, int last, int half) {
            for (int i = first; i < last; ++i) {
                EXPECT_EQ(doneBy[static_cast<std::size_t>(i)], -1) << i;
                doneBy[static_cast<std::size_t>(i)] = half;
            }
        });
        for (int i = 0; i < count; ++i) {
            const bool split = count >= 1000 && std::thread::hardware_concurrency() >= 2;
            EXPECT_EQ(doneBy[static_cast<std::size_t>(i)], split && i >= count / 2 ? 1 : 0) << i;
        }
    }
}

// Running out of memory in either half is an exception the caller can turn into a failure,
// never the end of the process that an exception leaving a thread would be.
TEST(RunInHalves, AFailureInEitherHalfReachesTheCaller) {
    // The second half exists only where the work is split between two cores.
    const bool split = std::thread::hardware_concurrency() >= 2;
    for (int failing : {0, 1}) {
        if (failing == 1 && !split)
            continue;
        int finished = 0;
        EXPECT_THROW(runInHalves(5000, 1000,
                                 [&](int, int, int half) {
                                     if (half == failing) {
                                         throw std::bad_alloc();
                                     }
                                     ++finished;
                                 }),
                     std::bad_alloc)
            << failing;
        EXPECT_LE(finished, 1);
    }
}

}  // namespace
