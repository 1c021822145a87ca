#pragma once
// The worker thread of a speech engine whose library may be used from one
// thread only: it starts the library, then runs the submitted jobs one after
// another, with cancelling, and lets a running job wait while its audio is
// far enough ahead of what the listener has heard. `TJob` has an AheadLimit
// (samples; 0: no limit). Jobs someone waits to hear (SubmitAhead) run before
// jobs that work ahead of need (Submit).

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace parlino {

template <typename TJob> class TSynthesisQueue {
public:
    struct TRecord {
        TJob Job;
        uint64_t Id = 0;
        std::atomic<bool> Cancelled{false};
        std::atomic<uint64_t> PlayedSamples{0};
        bool Ahead = false; // queued with SubmitAhead (or hurried)
    };

    TSynthesisQueue() = default;
    TSynthesisQueue(const TSynthesisQueue&) = delete;
    TSynthesisQueue& operator=(const TSynthesisQueue&) = delete;
    // Cancels every job, lets the running one end and the worker finish.
    ~TSynthesisQueue() {
        {
            std::lock_guard lock(FMutex);
            FStop = true;
            for (auto& record : FQueue) record->Cancelled = true;
            if (FRunning) FRunning->Cancelled = true;
        }
        FWake.notify_all();
        if (FWorker.joinable()) FWorker.join();
    }

    // Starts the worker: `start` runs on it first (Start returns when it has),
    // then each job goes through `run`, and `finish` runs when it stops.
    void Start(std::function<void()> start, std::function<void(TRecord&)> run, std::function<void()> finish = {}) {
        std::promise<void> ready;
        auto started = ready.get_future();
        FWorker = std::thread([this, &ready, start = std::move(start), run = std::move(run),
                               finish = std::move(finish)] {
            start();
            ready.set_value();
            Work(run);
            if (finish) finish();
        });
        started.wait();
    }

    // Queues a job behind every other; returns its id (never 0). Any thread.
    uint64_t Submit(TJob job) { return Queue(std::move(job), false); }

    // Queues a job ahead of every job queued with Submit, behind those queued
    // with SubmitAhead before it; returns its id (never 0). Any thread.
    uint64_t SubmitAhead(TJob job) { return Queue(std::move(job), true); }

    // Moves a job queued with Submit to where SubmitAhead would queue it now.
    // A job running, done or unknown is left alone. Any thread.
    void Hurry(uint64_t jobId) {
        std::lock_guard lock(FMutex);
        const auto found =
            std::find_if(FQueue.begin(), FQueue.end(), [&](const auto& record) { return record->Id == jobId; });
        if (found == FQueue.end() || (*found)->Ahead) return;
        auto record = std::move(*found);
        FQueue.erase(found);
        record->Ahead = true;
        FQueue.insert(AheadEnd(), std::move(record));
    }

    // Stops a queued or running job soon. Unknown ids are ignored. Any thread.
    void Cancel(uint64_t jobId) {
        {
            std::lock_guard lock(FMutex);
            if (FRunning && FRunning->Id == jobId) FRunning->Cancelled = true;
            for (auto& record : FQueue)
                if (record->Id == jobId) record->Cancelled = true;
        }
        FWake.notify_all();
    }

    // The listener has heard `samples` samples of job `jobId`. Any thread.
    void Played(uint64_t jobId, uint64_t samples) {
        {
            std::lock_guard lock(FMutex);
            if (!FRunning || FRunning->Id != jobId) return;
            if (samples > FRunning->PlayedSamples) FRunning->PlayedSamples = samples;
        }
        FWake.notify_all();
    }

    // On the worker: waits while `produced` samples are more than the job's
    // AheadLimit ahead of what was heard; false when the job was cancelled.
    bool WaitForRoom(TRecord& record, uint64_t produced) {
        if (record.Job.AheadLimit == 0) return !record.Cancelled;
        std::unique_lock lock(FMutex);
        FWake.wait(lock, [&] {
            return record.Cancelled || FStop || produced <= record.PlayedSamples + record.Job.AheadLimit;
        });
        return !record.Cancelled;
    }

private:
    uint64_t Queue(TJob job, bool ahead) {
        auto record = std::make_shared<TRecord>();
        record->Job = std::move(job);
        record->Ahead = ahead;
        uint64_t id;
        {
            std::lock_guard lock(FMutex);
            id = record->Id = FNextId++;
            if (FStop) record->Cancelled = true;
            FQueue.insert(ahead ? AheadEnd() : FQueue.end(), std::move(record));
        }
        FWake.notify_all();
        return id;
    }

    // Under FMutex: the place behind the last job queued ahead.
    auto AheadEnd() {
        return std::find_if(FQueue.begin(), FQueue.end(), [](const auto& record) { return !record->Ahead; });
    }

    void Work(const std::function<void(TRecord&)>& run) {
        for (;;) {
            std::shared_ptr<TRecord> record;
            {
                std::unique_lock lock(FMutex);
                FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
                if (FQueue.empty()) return; // stopping, nothing left
                record = FQueue.front();
                FQueue.pop_front();
                FRunning = record;
            }
            run(*record);
            std::lock_guard lock(FMutex);
            FRunning.reset();
        }
    }

    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<std::shared_ptr<TRecord>> FQueue;
    std::shared_ptr<TRecord> FRunning;
    uint64_t FNextId = 1;
    bool FStop = false;
    std::thread FWorker; // last: it starts once everything above is there
};

} // namespace parlino
