// The engines' job queue: the order jobs run in, with jobs someone waits to
// hear going before jobs synthesised ahead of need.

#include "platform/linux/TSynthesisQueue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

using namespace parlino;
using ::testing::ElementsAre;

namespace {

struct TTestJob {
    std::string Name;
    uint64_t AheadLimit = 0;
};

// A queue whose worker is held in a first job until the test lets it go, so
// that everything queued meanwhile runs in the queue's order.
class SynthesisQueueTest : public ::testing::Test {
protected:
    SynthesisQueueTest() {
        Queue.Start([] {}, [this](TSynthesisQueue<TTestJob>::TRecord& record) {
            if (!record.Cancelled) Ran.push_back(record.Job.Name); // worker only until Finish
            if (record.Job.Name == "last") Done.set_value();
            if (record.Job.Name != "hold") return;
            Holding.set_value();
            Held.get_future().wait();
        });
        Queue.Submit({"hold"});
        Holding.get_future().wait(); // running: what follows is queued
    }
    std::vector<std::string> Finish() {
        Queue.Submit({"last"});
        Held.set_value();
        Done.get_future().wait();
        Ran.pop_back();
        return Ran;
    }
    std::promise<void> Holding, Held, Done;
    std::vector<std::string> Ran;
    TSynthesisQueue<TTestJob> Queue;
};

} // namespace

TEST_F(SynthesisQueueTest, JobsAwaitedGoBeforeJobsAheadOfNeedAndKeepTheirOwnOrder) {
    Queue.Submit({"ahead 1"});
    Queue.Submit({"ahead 2"});
    Queue.SubmitAhead({"live 1"});
    Queue.Submit({"ahead 3"});
    Queue.SubmitAhead({"live 2"});
    EXPECT_THAT(Finish(), ElementsAre("hold", "live 1", "live 2", "ahead 1", "ahead 2", "ahead 3"));
}

TEST_F(SynthesisQueueTest, AHurriedJobMovesBehindTheJobsAwaitedAndAheadOfTheRest) {
    Queue.Submit({"ahead 1"});
    const uint64_t second = Queue.Submit({"ahead 2"});
    Queue.SubmitAhead({"live 1"});
    Queue.Hurry(second);
    Queue.SubmitAhead({"live 2"});
    Queue.Hurry(12345); // unknown: nothing happens
    EXPECT_THAT(Finish(), ElementsAre("hold", "live 1", "ahead 2", "live 2", "ahead 1"));
}

TEST_F(SynthesisQueueTest, ACancelledJobStillGoesThroughTheWorkerCancelled) {
    const uint64_t gone = Queue.Submit({"ahead 1"});
    Queue.SubmitAhead({"live 1"});
    Queue.Cancel(gone);
    Queue.Hurry(gone);
    EXPECT_THAT(Finish(), ElementsAre("hold", "live 1"));
}
