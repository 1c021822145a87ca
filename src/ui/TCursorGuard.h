#pragma once
#include <QApplication>
#include <QCursor>

namespace parlino {

// Shows the wait cursor for its lifetime; the previous cursor comes back on
// the way out, also when the guarded work fails.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// Sets a flag for its lifetime and puts the previous value back afterwards.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : FFlag(flag), FSaved(flag) { flag = true; }
    ~TFlagGuard() { FFlag = FSaved; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& FFlag;
    bool FSaved;
};

} // namespace parlino
