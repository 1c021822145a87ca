#pragma once
#include "platform/IEventPoster.h"

#include <QObject>

namespace parlino {

// Posts work to the thread of `context` (the GUI thread) as a queued call.
// Work posted after the context is gone is dropped.
class TQtEventPoster final : public IEventPoster {
public:
    explicit TQtEventPoster(QObject* context) : FContext(context) {}
    void Post(std::function<void()> work) override;

private:
    QObject* FContext;
};

} // namespace parlino
