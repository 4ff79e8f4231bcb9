#pragma once

#include <exception>
#include <system_error>
#include <thread>

// Runs work(first, last, half) over the items [0, count): in two halves when there are at least
// `minimum` items and the machine has a second core, half 0 = [0, count / 2) on this thread and
// half 1 = [count / 2, count) on a thread of its own; otherwise, or when no thread can be had, as
// one piece here (half 0 = [0, count)), or as both halves in order. Meant for work whose items
// are independent, so that the result cannot depend on where the halves ran. Returns when all is
// done; an exception from either half is rethrown here, after both have stopped.
template <typename Work>
void runInHalves(int count, int minimum, Work&& work) {
    const int middle = count / 2;
    if (count < minimum || middle == 0 || std::thread::hardware_concurrency() < 2) {
        work(0, count, 0);
        return;
    }
    std::thread helper;
    std::exception_ptr helperFailure;
    try {
        helper = std::thread([&work, &helperFailure, middle, count] {
            try {
                work(middle, count, 1);
            } catch (...) {
                helperFailure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had: this thread does both halves.
    }
    try {
        work(0, middle, 0);
    } catch (...) {
        if (helper.joinable()) {
            helper.join();
        }
        throw;
    }
    if (!helper.joinable()) {
        work(middle, count, 1);
        return;
    }
    helper.join();
    if (helperFailure) {
        std::rethrow_exception(helperFailure);
    }
}
