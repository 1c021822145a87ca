#include "app/ErrorGuard.h"

#include <cstdio>
#include <exception>

namespace parlino {
namespace {
TErrorHook& ErrorHook() {
    static TErrorHook hook;
    return hook;
}
TErrorHook& ErrorDisplay() {
    static TErrorHook display;
    return display;
}
} // namespace

void SetErrorHook(TErrorHook hook) { ErrorHook() = std::move(hook); }
void SetErrorDisplay(TErrorHook display) { ErrorDisplay() = std::move(display); }

void ReportError(const std::string& message) {
    if (ErrorHook()) ErrorHook()(message);
    else if (ErrorDisplay()) ErrorDisplay()(message);
    else std::fprintf(stderr, "parlino: %s\n", message.c_str());
}

void ReportCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        ReportError("Unknown error.");
    }
}

void RunGuarded(const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
        ReportCurrentException();
    }
}

} // namespace parlino
