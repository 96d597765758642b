#include "tray_window.h"

#include "intake/network_watch.h"
#include "phone_lines_win32.h"
#include "resource_ids.h"
#include "services/adb_location.h"
#include "services/event_log.h"
#include "services/wide_text.h"
#include "single_copy.h"
#include "start_with_windows_win32.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <optional>
#include <string>

LRESULT CALLBACK trayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

namespace {

// WM_USER + 3 and timer 1 belong to the network watch, WM_USER + 5 to the
// single copy.
constexpr UINT WM_TRAY_CALLBACK = WM_USER + 2;
constexpr UINT WM_TRAY_OUTCOME = WM_USER + 4;  // an outcome waits in pendingOutcome
constexpr UINT TRAY_ENTRY_ID = 1;
constexpr const wchar_t* WINDOW_CLASS = L"WSCLAS";

HINSTANCE appInstance = nullptr;
NOTIFYICONDATAW trayEntry{};
UINT taskbarCreated = 0;  // broadcast when the taskbar is (re)created

// The latest outcome that the window has not shown yet; earlier ones that it
// had no time for are dropped.
std::mutex outcomeLock;
std::optional<OutcomeWords> pendingOutcome;

void copyText(wchar_t* field, std::size_t capacity, const std::string& utf8)
{
    const WideString text = toUtf16(utf8);
    const std::size_t length = std::min(text.size(), capacity - 1);
    text.copy(field, length);
    field[length] = L'\0';
}

// A balloon from the icon, titled "Velmora"; it also sets the tooltip of
// trayEntry.
void showBalloon(const std::string& text, DWORD icon)
{
    NOTIFYICONDATAW balloon = trayEntry;
    balloon.uFlags |= NIF_INFO;
    copyText(balloon.szInfoTitle, std::size(balloon.szInfoTitle), "Velmora");
    copyText(balloon.szInfo, std::size(balloon.szInfo), text);
    balloon.dwInfoFlags = icon;
    Shell_NotifyIconW(NIM_MODIFY, &balloon);
}

// The tooltip stays in trayEntry, so that an icon added again after Explorer
// restarts shows the latest outcome, even one that came while it was gone.
void showPendingOutcome()
{
    std::optional<OutcomeWords> words;
    {
        const std::lock_guard<std::mutex> hold(outcomeLock);
        words.swap(pendingOutcome);
    }
    if (!words)
        return;
    copyText(trayEntry.szTip, std::size(trayEntry.szTip), words->tooltip);
    if (words->balloon.empty()) {
        Shell_NotifyIconW(NIM_MODIFY, &trayEntry);
        return;
    }
    using Kind = OutcomeWords::Kind;
    showBalloon(words->balloon, words->kind == Kind::Success   ? NIIF_INFO
                                : words->kind == Kind::Failure ? NIIF_WARNING
                                                               : NIIF_ERROR);
}

// From here on a new copy is told that this one ends: it waits for it,
// rather than ending too and leaving none.
void quit()
{
    beginEnding();
    PostQuitMessage(0);
}

void showPopupMenu(HWND window)
{
    POINT cursor{};
    GetCursorPos(&cursor);
    const HMENU menu = LoadMenuW(appInstance, MAKEINTRESOURCEW(IDM_TRAY));
    if (!menu)
        return;
    const HMENU popup = GetSubMenu(menu, 0);
    CheckMenuItem(popup, IDM_START_WITH_WINDOWS, MF_BYCOMMAND | (startsWithWindows() ? MF_CHECKED : MF_UNCHECKED));
    addPhoneLines(popup);
    // A notification icon's menu closes when the user clicks elsewhere only
    // if its owner is the foreground window; the null message afterwards lets
    // the next right click open it again at once.
    SetForegroundWindow(window);
    TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void chooseAdbPath(HWND window)
{
    // Always starts from the default location, not from the stored path.
    wchar_t file[MAX_PATH] = {};
    wcsncpy(file, toUtf16(DEFAULT_ADB_PATH).c_str(), MAX_PATH - 1);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = L"ADB Execution File\0adb.exe\0All files\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (GetOpenFileNameW(&dialog))
        storeAdbPath(toUtf8(file));
}

void viewLog(HWND window)
{
    const std::string path = logFilePath();
    if (path.empty())
        return;
    const WideString widePath = toUtf16(path);
    std::FILE* file = _wfopen(widePath.c_str(), L"r");
    if (!file)
        return;
    std::fclose(file);
    ShellExecuteW(window, L"open", widePath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The item shows the state it finds at each menu; a failed change leaves it.
void toggleStartWithWindows()
{
    const bool on = !startsWithWindows();
    if (setStartWithWindows(on))
        writeLog({on ? "Start with Windows: on" : "Start with Windows: off"});
    else
        showBalloon(on ? "Could not turn Start with Windows on" : "Could not turn Start with Windows off",
                    NIIF_WARNING);
}

void onMenuCommand(HWND window, int command)
{
    switch (command) {
    case IDM_EXIT:
        quit();
        break;
    case IDM_ABOUT: {
        MessageBoxW(window, toUtf16(ABOUT_TEXT).c_str(), L"About", MB_OK);
        break;
    }
    case IDM_SET_ADB_PATH:
        chooseAdbPath(window);
        break;
    case IDM_VIEW_LOG:
        viewLog(window);
        break;
    case IDM_START_WITH_WINDOWS:
        toggleStartWithWindows();
        break;
    default:
        choosePhoneLine(static_cast<unsigned>(command));
    }
}

}  // namespace

bool createTray(void* instance)
{
    appInstance = static_cast<HINSTANCE>(instance);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = trayWindowProc;
    windowClass.hInstance = appInstance;
    windowClass.lpszClassName = WINDOW_CLASS;
    if (!RegisterClassExW(&windowClass)) {
        WNDCLASSW plainClass{};
        plainClass.lpfnWndProc = trayWindowProc;
        plainClass.hInstance = appInstance;
        plainClass.lpszClassName = WINDOW_CLASS;
        if (!RegisterClassW(&plainClass))
            return false;
    }
    // A hidden top-level window (not message-only: those miss the taskbar's
    // broadcasts) owns the icon and the menu.
    const HWND window =
        CreateWindowExW(0, WINDOW_CLASS, L"", 0, 0, 0, 1, 1, nullptr, nullptr, appInstance, nullptr);
    taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    watchNetwork(window);

    // The size that has balloons and a tooltip of 128 characters.
    trayEntry.cbSize = NOTIFYICONDATAW_V2_SIZE;
    trayEntry.hWnd = window;
    trayEntry.uID = TRAY_ENTRY_ID;
    trayEntry.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayEntry.uCallbackMessage = WM_TRAY_CALLBACK;
    // The icon file holds a 16-pixel picture: load the size the notification
    // area shows, rather than the 32-pixel icon that the shell would shrink.
    trayEntry.hIcon = static_cast<HICON>(LoadImageW(appInstance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    copyText(trayEntry.szTip, std::size(trayEntry.szTip), "Velmora");
    Shell_NotifyIconW(NIM_ADD, &trayEntry);
    return true;
}

void showOutcome(const Verdict& verdict)
{
    OutcomeWords words = describeOutcome(verdict, localClockTime());
    {
        const std::lock_guard<std::mutex> hold(outcomeLock);
        pendingOutcome = std::move(words);
    }
    // Posted, not sent: the receiver never waits for the window.
    PostMessageW(trayEntry.hWnd, WM_TRAY_OUTCOME, 0, 0);
}

void removeTray()
{
    stopWatchingNetwork();
    Shell_NotifyIconW(NIM_DELETE, &trayEntry);
    if (trayEntry.hIcon)
        DestroyIcon(trayEntry.hIcon);
    trayEntry.hIcon = nullptr;
}

int runMessageLoop()
{
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) != 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK trayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (onNetworkMessage(message, wParam))
        return TRUE;
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        quit();
        return 0;
    case WM_COMMAND:
        onMenuCommand(window, LOWORD(wParam));
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_TRAY_CALLBACK:
        if (lParam == WM_LBUTTONDBLCLK)
            MessageBoxW(nullptr, L"Двойной щелчок по иконке", L"Сообщение от иконки", MB_OK);
        else if (lParam == WM_RBUTTONDOWN)
            showPopupMenu(window);
        else if (lParam == NIN_BALLOONUSERCLICK)
            viewLog(window);
        return 0;
    case WM_TRAY_OUTCOME:
        showPendingOutcome();
        return 0;
    case WM_ALREADY_RUNNING:
        // Another copy was started; it ends once told that this one runs.
        if (answerNewCopy() == ALREADY_RUNNING_ANSWER)
            showBalloon("Velmora is already running", NIIF_INFO);
        return answerNewCopy();
    default:
        // Explorer restarted: its new taskbar knows no icons yet.
        if (taskbarCreated != 0 && message == taskbarCreated) {
            Shell_NotifyIconW(NIM_ADD, &trayEntry);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
