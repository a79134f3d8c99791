#pragma once
// Small helpers of the platform tests: waiting for something a detached
// process does (and the scoped environment variable of the shared support).
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "tests/support/ScopedEnv.h"

namespace velmora::test {

// Polls `done` until it holds or `limit` has passed; tells which.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}   // namespace velmora::test
