#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace voldrane::platform {

// Set once a call has been abandoned: the process may then hold a thread that never returns
// (on Windows possibly inside the loader), and ends through FinishProcess (Console.h).
inline std::atomic<bool> g_callAbandoned{false};

// Runs `work` on a thread of its own and waits at most `bound` for it. When the bound passes
// first, the thread is abandoned: it finishes (or stays blocked) on its own, its result is
// dropped, and nullopt is returned. For OS calls that can block without end (a print server
// that stopped answering) and cannot be cancelled. `work` must own all it touches (capture by
// value): it may outlive the caller.
template <typename Work>
auto RunBounded(std::chrono::milliseconds bound, Work work) -> std::optional<decltype(work())> {
    using Result = decltype(work());
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Result> result;
    };
    auto shared = std::make_shared<Shared>();
    std::thread thread([shared, work = std::move(work)]() mutable {
        Result r = work();
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->result = std::move(r);
        shared->done.notify_all();
    });
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (!shared->done.wait_for(lock, bound, [&] { return shared->result.has_value(); })) {
        g_callAbandoned = true;
        thread.detach();
        return std::nullopt;
    }
    // Finished: no thread of it is left running when the process ends (under Wine a thread
    // still on its way out as the process exits can get the process killed).
    lock.unlock();
    thread.join();
    return std::move(shared->result);
}

}  // namespace voldrane::platform
