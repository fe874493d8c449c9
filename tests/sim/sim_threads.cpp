#include "sim/sim_threads.h"

#include <thread>

namespace sim {
namespace {

class FinishedThread : public platform::Thread {
public:
    void Join() override {}
};

// Joining a deferred thread that has not run yet runs it: the caller would
// otherwise wait for ever on a thread nobody schedules.
class DeferredThread : public platform::Thread {
public:
    explicit DeferredThread(std::shared_ptr<SimThreads::Job> job) : job_(std::move(job)) {}
    void Join() override {
        if (!job_->done) {
            job_->done = true;
            job_->body();
        }
    }

private:
    std::shared_ptr<SimThreads::Job> job_;
};

class RealThread : public platform::Thread {
public:
    explicit RealThread(std::function<void()> body) : thread_(std::move(body)) {}
    ~RealThread() override {
        if (thread_.joinable()) thread_.join();
    }
    void Join() override {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

}  // namespace

std::unique_ptr<platform::Thread> SimThreads::Start(std::function<void()> body) {
    calls.push_back("Start()");
    if (failStart || failures.Check("Start")) return nullptr;
    ++startCount;
    switch (mode) {
        case StartMode::Immediate: body(); return std::make_unique<FinishedThread>();
        case StartMode::Deferred: {
            auto job = std::make_shared<Job>();
            job->body = std::move(body);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                pending_.push_back(job);
            }
            return std::make_unique<DeferredThread>(job);
        }
        case StartMode::Real: return std::make_unique<RealThread>(std::move(body));
    }
    return nullptr;
}

void SimThreads::Sleep(std::uint32_t milliseconds) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sleeps_.push_back(milliseconds);
    }
    clock_.Advance(milliseconds);
    // Lets a real thread that polls in a loop give the others a turn.
    std::this_thread::yield();
}

int SimThreads::RunPending() {
    int ran = 0;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (pending_.empty()) break;
            job = pending_.front();
            pending_.pop_front();
        }
        if (job->done) continue;
        job->done = true;
        job->body();
        ++ran;
    }
    return ran;
}

int SimThreads::PendingCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int count = 0;
    for (const auto& job : pending_) {
        if (!job->done) ++count;
    }
    return count;
}

int SimThreads::SleepCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(sleeps_.size());
}

std::uint64_t SimThreads::TotalSleptMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::uint64_t total = 0;
    for (auto ms : sleeps_) total += ms;
    return total;
}

std::vector<std::uint32_t> SimThreads::Sleeps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
}

}  // namespace sim
