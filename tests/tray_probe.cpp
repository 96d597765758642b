// Acts on Velmora's notification-area entry from outside, as the shell does:
//   tray_probe delete            removes the entry (as a crashed taskbar loses it)
//   tray_probe taskbar-created   broadcasts "TaskbarCreated" (as a new taskbar does)
//   tray_probe about-text        prints the text of the open "About" box
//   tray_probe resume            tells Velmora's window the machine woke from sleep
//   tray_probe balloon           prints the text of the balloon on screen, in UTF-8
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

// A balloon is a tooltip window with the balloon style. It belongs to the
// taskbar's process, so its text is asked for with a message, which a
// cross-process GetWindowTextW would not send.
BOOL CALLBACK printBalloon(HWND window, LPARAM found)
{
    wchar_t name[32] = {}, text[1024] = {};
    DWORD_PTR length = 0;
    GetClassNameW(window, name, 32);
    if (std::wcscmp(name, L"tooltips_class32") != 0 || !IsWindowVisible(window) ||
        !(GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON) ||
        !SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                             &length))
        return TRUE;
    char utf8[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::printf("%s\n", utf8);
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "delete") == 0) {
        NOTIFYICONDATAW entry{};
        entry.cbSize = NOTIFYICONDATAW_V1_SIZE;
        entry.hWnd = FindWindowW(L"WSCLAS", nullptr);
        entry.uID = 1;
        return entry.hWnd && Shell_NotifyIconW(NIM_DELETE, &entry) ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "taskbar-created") == 0) {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0,
                                   SMTO_ABORTIFHUNG, 5000, &result)
                   ? 0
                   : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "about-text") == 0) {
        // A message box shows its text in a static control with id 0xFFFF.
        char text[256] = {};
        const HWND box = FindWindowW(L"#32770", L"About");
        if (!box || !GetDlgItemTextA(box, 0xFFFF, text, sizeof text))
            return 1;
        std::printf("%s\n", text);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "resume") == 0) {
        const HWND window = FindWindowW(L"WSCLAS", nullptr);
        return window && SendMessageW(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0) ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "balloon") == 0) {
        bool found = false;
        EnumWindows(printBalloon, reinterpret_cast<LPARAM>(&found));
        return found ? 0 : 1;
    }
    std::fprintf(stderr, "usage: tray_probe delete | taskbar-created | about-text | resume | balloon\n");
    return 2;
}
