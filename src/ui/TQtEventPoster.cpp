#include "ui/TQtEventPoster.h"

#include "app/ErrorGuard.h"

#include <QMetaObject>

namespace parlino {

void TQtEventPoster::Post(std::function<void()> work) {
    // A queued call with a context object is dropped by Qt when the context
    // is destroyed first.
    QMetaObject::invokeMethod(
        FContext, [work = std::move(work)] { RunGuarded(work); }, Qt::QueuedConnection);
}

} // namespace parlino
