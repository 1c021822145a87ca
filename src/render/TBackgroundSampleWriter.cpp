#include "render/TBackgroundSampleWriter.h"

#include <utility>

namespace parlino {

TBackgroundSampleWriter::TBackgroundSampleWriter(TWrite write, size_t maxQueued)
    : FWrite(std::move(write)), FMaxQueued(maxQueued), FThread([this] { Run(); }) {}

TBackgroundSampleWriter::~TBackgroundSampleWriter() {
    try {
        Finish();
    } catch (...) {
    }
}

void TBackgroundSampleWriter::Push(std::vector<int16_t>&& block) {
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FQueue.size() < FMaxQueued || FFailure; });
    if (FFailure) return; // reported by Finish
    FQueue.push_back(std::move(block));
    FChanged.notify_all();
}

bool TBackgroundSampleWriter::Failed() {
    std::lock_guard lock(FMutex);
    return FFailure != nullptr;
}

void TBackgroundSampleWriter::Finish() {
    {
        std::lock_guard lock(FMutex);
        FDone = true;
    }
    FChanged.notify_all();
    if (FThread.joinable()) FThread.join();
    if (FFailure) std::rethrow_exception(std::exchange(FFailure, nullptr));
}

void TBackgroundSampleWriter::Run() {
    for (;;) {
        std::vector<int16_t> block;
        {
            std::unique_lock lock(FMutex);
            FChanged.wait(lock, [this] { return !FQueue.empty() || FDone; });
            if (FQueue.empty()) return;
            block = std::move(FQueue.front());
            FQueue.pop_front();
        }
        FChanged.notify_all();
        try {
            FWrite(block.data(), block.size());
        } catch (...) {
            std::lock_guard lock(FMutex);
            FFailure = std::current_exception();
            FQueue.clear();
            FChanged.notify_all();
            return;
        }
    }
}

} // namespace parlino
