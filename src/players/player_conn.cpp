#include "players/player_conn.h"

#include "subtitles/FormatTime.h"

#include <algorithm>

namespace parlino {
namespace {

std::string TrimBlanks(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Splits like a comma-separated list where blanks also separate items:
// "12,34" and "12 34" both give two items; empty items between commas count.
void SplitCommaText(const std::string& text, std::vector<std::string>& parts) {
    parts.clear();
    std::string item;
    bool pending = false;
    for (char c : text) {
        if (c == ',' || c == ' ') {
            if (c == ',' || !item.empty()) parts.push_back(item);
            item.clear();
            pending = c == ',';
        } else {
            item += c;
            pending = true;
        }
    }
    if (pending || !item.empty()) parts.push_back(item);
}

} // namespace

TMPCConnection::TMPCConnection(IWindowSystem& windows, const ILocaleInfo& locale)
    : FWindows(windows), FLocale(locale) {}

bool TMPCConnection::FindPlayer() {
    PositionLabel = 0;
    Toolbar = 0;
    MainWindow = FWindows.FindWindow(MainWindowClass);
    if (!MainWindow) return false;
    Toolbar = FWindows.FindWindowEx(MainWindow, 0, ToolbarClass);
    if (!Toolbar) return false;
    PauseButtonId = 888;
    StopButtonId = 890;
    if (const THwnd dialog = FWindows.FindWindowEx(MainWindow, 0, DialogClass))
        if (const THwnd first = FWindows.FindWindowEx(dialog, 0, LabelClass))
            PositionLabel = FWindows.FindWindowEx(dialog, first, LabelClass);
    return true;
}

bool TMPCConnection::IsPlaying() {
    if (!FindPlayer()) return false;
    return FWindows.SendMessage(Toolbar, TB_ISBUTTONENABLED, PauseButtonId, 0) > 0 &&
           FWindows.SendMessage(Toolbar, TB_ISBUTTONCHECKED, PauseButtonId, 0) <= 0 &&
           FWindows.SendMessage(Toolbar, TB_ISBUTTONCHECKED, StopButtonId, 0) <= 0;
}

int32_t TMPCConnection::GetPosition() {
    if (!PositionLabel) return 0;
    const std::string text = FWindows.GetWindowText(PositionLabel, 256);
    const size_t slash = text.find('/');
    if (text.empty() || slash == std::string::npos) return 0;
    std::string time = TrimBlanks(text.substr(0, slash));
    const char separator = FLocale.TimeSeparator();
    std::string commaText = time;
    std::replace(commaText.begin(), commaText.end(), separator, ',');
    SplitCommaText(commaText, Parts);
    if (Parts.size() == 2) time = std::string("00") + separator + time; // minutes and seconds only
    return StrToTimeMs(time, separator);
}

void TMPCConnection::Activate() {
    if (!FindPlayer()) return;
    FWindows.ShowWindow(MainWindow, SW_RESTORE);
    FWindows.SetForegroundWindow(MainWindow);
}

} // namespace parlino
