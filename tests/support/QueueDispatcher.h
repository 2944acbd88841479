#pragma once

#include "network/NetworkPanel.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kestrola::testing {

/// A user-interface thread for tests: the thread that creates it owns it; work handed over
/// from other threads waits in a queue until the owner pumps it, and the handing thread waits
/// until it has run, as a blocking queued call does.
class QueueDispatcher : public core::UiDispatcher {
public:
    QueueDispatcher() : m_owner(std::this_thread::get_id()) {}
    void Invoke(const std::function<void()>& work) override {
        if (std::this_thread::get_id() == m_owner) {
            work();
            return;
        }
        std::unique_lock lock(m_mutex);
        bool done = false;
        m_queue.push_back({&work, &done});
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return done; });
    }
    bool PumpUntil(const std::function<bool()>& until,
                   std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (until())
                return true;
            std::unique_lock lock(m_mutex);
            // In slices, so that a condition that changes without handed-over work is seen.
            const auto slice =
                std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(2));
            if (!m_changed.wait_until(lock, slice, [&] { return !m_queue.empty(); })) {
                if (std::chrono::steady_clock::now() >= deadline)
                    return until();
                continue;
            }
            const Pending next = m_queue.front();
            m_queue.pop_front();
            lock.unlock();
            (*next.work)();
            lock.lock();
            *next.done = true;
            ++m_ran;
            m_changed.notify_all();
        }
    }
    int Ran() const {
        const std::lock_guard lock(m_mutex);
        return m_ran;
    }

private:
    struct Pending {
        const std::function<void()>* work;
        bool* done;
    };
    std::thread::id m_owner;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Pending> m_queue;
    int m_ran = 0;
};

} // namespace kestrola::testing
