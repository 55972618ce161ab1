// Threads, recursive critical sections and events.
//
// Events share one mutex: WaitAny has to look at several events at once, and
// a single lock makes "test every event, then sleep" atomic without any lock
// ordering. Each waiting call sleeps on its own condition variable, which it
// registers with every event it waits for, so Set wakes only the waiters of
// that event. Waits time out on the real monotonic clock, whatever Clock is
// installed.
#include "host/kernel/Kernel.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace host::kernel {
namespace {

std::mutex g_eventMutex;

struct Waiter {
    std::condition_variable wake;
};

}  // namespace

// ---------------------------------------------------------------- events

struct Event::Impl {
    bool manualReset;
    bool set;
    std::vector<Waiter*> waiters;   // guarded by g_eventMutex
};

Event::Event(bool manualReset, bool initiallySet)
    : impl_(std::make_unique<Impl>(Impl{manualReset, initiallySet, {}})) {}

Event::~Event() = default;

void Event::Set() {
    std::lock_guard<std::mutex> lock(g_eventMutex);
    impl_->set = true;
    for (Waiter* waiter : impl_->waiters) waiter->wake.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(g_eventMutex);
    impl_->set = false;
}

uint32_t Event::Wait(uint32_t timeoutMs) {
    Event* self = this;
    return WaitAny(&self, 1, timeoutMs);
}

uint32_t WaitAny(Event* const* events, size_t count, uint32_t timeoutMs) {
    if (!events || count == 0) return kWaitFailed;
    for (size_t i = 0; i < count; ++i)
        if (!events[i]) return kWaitFailed;

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(g_eventMutex);
    Waiter waiter;
    bool registered = false;
    uint32_t result = kWaitTimeout;
    for (;;) {
        // The lowest signalled index wins, as WaitForMultipleObjects does;
        // only that event is consumed.
        size_t found = count;
        for (size_t i = 0; i < count && found == count; ++i)
            if (events[i]->impl_->set) found = i;
        if (found < count) {
            Event::Impl& impl = *events[found]->impl_;
            if (!impl.manualReset) impl.set = false;
            result = static_cast<uint32_t>(found);
            break;
        }
        if (timeoutMs == 0) break;
        if (!registered) {
            for (size_t i = 0; i < count; ++i) events[i]->impl_->waiters.push_back(&waiter);
            registered = true;
        }
        if (timeoutMs == kInfinite) {
            waiter.wake.wait(lock);
        } else if (waiter.wake.wait_until(lock, deadline) == std::cv_status::timeout) {
            // Look once more: a Set may have come with the timeout.
            timeoutMs = 0;
        }
    }
    if (registered) {
        for (size_t i = 0; i < count; ++i) {
            auto& list = events[i]->impl_->waiters;
            auto it = std::find(list.begin(), list.end(), &waiter);
            if (it != list.end()) list.erase(it);
        }
    }
    return result;
}

// ---------------------------------------------------------------- critical sections

struct CriticalSection::Impl {
    std::recursive_mutex mutex;
};

CriticalSection::CriticalSection() : impl_(std::make_unique<Impl>()) {}
CriticalSection::~CriticalSection() = default;
void CriticalSection::Enter() { impl_->mutex.lock(); }
bool CriticalSection::TryEnter() { return impl_->mutex.try_lock(); }
void CriticalSection::Leave() { impl_->mutex.unlock(); }

// ---------------------------------------------------------------- threads

namespace {

class StdThread final : public Thread {
public:
    explicit StdThread(std::function<uint32_t()> body) : state_(std::make_shared<State>()) {
        // The thread keeps the state alive itself: its body may delete this object.
        thread_ = std::thread([state = state_, body = std::move(body)] {
            uint32_t code = body();
            state->exitCode.store(code, std::memory_order_release);
            state->done.Set();
        });
    }

    ~StdThread() override {
        // A thread that deletes its own object cannot join itself.
        if (thread_.joinable() && thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            Join();
    }

    bool Wait(uint32_t timeoutMs) override { return state_->done.Wait(timeoutMs) == 0; }

    void Join() override {
        std::lock_guard<std::mutex> lock(joinMutex_);
        if (thread_.joinable()) thread_.join();
    }

    uint32_t ExitCode() const override { return state_->exitCode.load(std::memory_order_acquire); }

    pthread_t NativeHandle() { return thread_.native_handle(); }

private:
    struct State {
        Event done{true, false};
        std::atomic<uint32_t> exitCode{kStillActive};
    };
    std::shared_ptr<State> state_;
    std::mutex joinMutex_;
    std::thread thread_;
};

// Threads that run one body after another. Never destroyed: its idle
// threads may still wait when static objects go at exit.
class Pool {
public:
    static constexpr const char* kIdleName = "pool-idle";

    static Pool& Get() {
        static Pool* pool = new Pool;
        return *pool;
    }

    bool Run(std::function<void()> task) {
        std::unique_lock<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
        // Every waiting task has an idle thread of its own, or a new one.
        if (tasks_.size() <= idle_) {
            // Woken after the lock is let go: woken under it, the thread
            // would run only to sleep again on the lock.
            lock.unlock();
            wake_.notify_one();
            return true;
        }
        try {
            std::thread([this] { Loop(); }).detach();
        } catch (const std::system_error&) {
            tasks_.pop_back();
            return false;
        }
        return true;
    }

private:
    // Idle threads kept; more end when they run out of work.
    static constexpr size_t kMaxIdle = 64;

    void Loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (tasks_.empty()) SetThreadName(kIdleName);   // what it runs next names it again
            while (tasks_.empty()) {
                if (idle_ >= kMaxIdle) return;
                ++idle_;
                wake_.wait(lock);
                --idle_;
            }
            std::function<void()> task = std::move(tasks_.front());
            tasks_.erase(tasks_.begin());
            lock.unlock();
            task();
            task = nullptr;   // what it holds goes before the next wait
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::function<void()>> tasks_;
    size_t idle_ = 0;
};

class PooledThread final : public Thread {
public:
    struct State {
        Event done{true, false};
        std::atomic<uint32_t> exitCode{kStillActive};
        std::atomic<std::thread::id> runner{};
    };

    explicit PooledThread(std::shared_ptr<State> state) : state_(std::move(state)) {}
    ~PooledThread() override {
        // A body that deletes its own handle cannot wait for itself.
        if (state_->runner.load() != std::this_thread::get_id()) Join();
    }
    bool Wait(uint32_t timeoutMs) override { return state_->done.Wait(timeoutMs) == 0; }
    void Join() override { state_->done.Wait(kInfinite); }
    uint32_t ExitCode() const override { return state_->exitCode.load(std::memory_order_acquire); }

private:
    std::shared_ptr<State> state_;
};

}  // namespace

std::unique_ptr<Thread> StartPooledThread(std::function<uint32_t()> body) {
    if (!body) return nullptr;
    auto state = std::make_shared<PooledThread::State>();
    auto handle = std::make_unique<PooledThread>(state);
    const bool started = Pool::Get().Run([state, body = std::move(body)] {
        state->runner.store(std::this_thread::get_id());
        const uint32_t code = body();
        state->exitCode.store(code, std::memory_order_release);
        state->runner.store(std::thread::id());
        state->done.Set();
    });
    if (!started) {
        state->done.Set();   // the handle's end waits for nothing
        return nullptr;
    }
    return handle;
}

void RunSideBySide(uint32_t count, uint32_t atOnce, const std::function<void(uint32_t)>& each) {
    RunSideBySideUntil(count, atOnce, [&each](uint32_t i) {
        each(i);
        return true;
    });
}

uint32_t RunSideBySideUntil(uint32_t count, uint32_t atOnce, const std::function<bool(uint32_t)>& each) {
    std::atomic<uint32_t> next{0}, failed{count};
    const auto work = [count, &next, &failed, &each] {
        // Indices are taken in rising order: past a failure, every later
        // one is too.
        for (uint32_t i = next++; i < count && i < failed.load(); i = next++) {
            if (each(i)) continue;
            uint32_t first = failed.load();
            while (i < first && !failed.compare_exchange_weak(first, i)) {
            }
        }
        return 0u;
    };
    // No more threads than this process may run at once (its CPU affinity,
    // as a container or taskset gives it): more only take turns.
    cpu_set_t allowed;
    const uint32_t cores = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                               ? uint32_t(std::max(1, CPU_COUNT(&allowed)))
                               : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::unique_ptr<Thread>> helpers;
    for (uint32_t i = 1; i < std::min({count, atOnce, cores}); ++i)
        if (auto thread = StartPooledThread(work)) helpers.push_back(std::move(thread));
    work();
    for (auto& thread : helpers) thread->Join();
    return failed.load();
}

namespace {

void NameThread(pthread_t thread, const char* name) {
    // The kernel keeps 15 bytes and a zero; longer names are refused, not cut.
    char cut[16] = {};
    for (size_t i = 0; i < sizeof cut - 1 && name[i]; ++i) cut[i] = name[i];
    pthread_setname_np(thread, cut);
}

}  // namespace

std::unique_ptr<Thread> StartThread(std::function<uint32_t()> body, const char* name) {
    if (!body) return nullptr;
    try {
        auto thread = std::make_unique<StdThread>(std::move(body));
        if (name) NameThread(thread->NativeHandle(), name);
        return thread;
    } catch (const std::system_error&) {
        return nullptr;
    }
}

void SetThreadName(const char* name) { NameThread(pthread_self(), name); }

}  // namespace host::kernel
