// A stand-in for the desktop player the window follower watches: a main
// window of the player's class with a toolbar holding the pause (888) and
// stop (890) buttons, and a status dialog whose second label shows the
// position text given as the first argument. Tests change its labels and
// buttons with window messages from their own process, and close it.

#include <windows.h>
#include <commctrl.h>

namespace {

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char** argv) {
    const char* position = argc > 1 ? argv[1] : "00:00:00 / 00:00:00";
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA mainClass{};
    mainClass.lpfnWndProc = MainProc;
    mainClass.hInstance = instance;
    mainClass.lpszClassName = "MediaPlayerClassicW";
    if (!RegisterClassA(&mainClass))
        return 1;
    HWND main = CreateWindowExA(0, "MediaPlayerClassicW", "Stand-in player", WS_OVERLAPPEDWINDOW,
                                0, 0, 640, 480, nullptr, nullptr, instance, nullptr);
    HWND toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0,
                                   0, main, nullptr, instance, nullptr);
    HWND dialog = CreateWindowExA(0, "#32770", nullptr, WS_CHILD | WS_VISIBLE, 0, 40, 640, 40, main,
                                  nullptr, instance, nullptr);
    if (!main || !toolbar || !dialog)
        return 1;
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBBUTTON buttons[2] = {};
    buttons[0].idCommand = 888;
    buttons[1].idCommand = 890;
    for (TBBUTTON& button : buttons) {
        button.iBitmap = I_IMAGENONE;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_CHECK;
    }
    SendMessageA(toolbar, TB_ADDBUTTONSA, 2, reinterpret_cast<LPARAM>(buttons));
    CreateWindowExA(0, "Static", "Position:", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, dialog, nullptr,
                    instance, nullptr);
    CreateWindowExA(0, "Static", position, WS_CHILD | WS_VISIBLE, 100, 0, 300, 20, dialog, nullptr,
                    instance, nullptr);
    ShowWindow(main, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
