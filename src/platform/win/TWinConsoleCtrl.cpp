#include "platform/win/TWinConsoleCtrl.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace parlino {
namespace {

std::mutex Mutex;
std::condition_variable Finished;
std::function<void()> Request; // under Mutex
bool IsDone = false;           // under Mutex

BOOL WINAPI OnConsoleEvent(DWORD event) {
    std::unique_lock lock(Mutex);
    if (!Request)
        return FALSE;
    Request();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Finished.wait_for(lock, std::chrono::seconds(4), [] { return IsDone; });
    return TRUE;
}

} // namespace

TWinConsoleCtrl::TWinConsoleCtrl(std::function<void()> request) {
    {
        std::lock_guard lock(Mutex);
        Request = std::move(request);
        IsDone = false;
    }
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

TWinConsoleCtrl::~TWinConsoleCtrl() {
    Done();
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    std::lock_guard lock(Mutex);
    Request = nullptr;
}

void TWinConsoleCtrl::Done() {
    {
        std::lock_guard lock(Mutex);
        IsDone = true;
    }
    Finished.notify_all();
}

} // namespace parlino
