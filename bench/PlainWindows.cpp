// A second yardstick for start-up times: the native windows brumik shows at
// start (the same classes and places; lists of plain text), made straight
// with Win32 and nothing else: no framework, no pictures, no genre list, no
// sound device.
// Its start-up against MinimalWindow is what those windows alone cost.
#include <windows.h>
#include <commctrl.h>

namespace {

constexpr wchar_t kFormClass[] = L"BrumikBenchPlainForm";
constexpr wchar_t kPanelClass[] = L"BrumikBenchPlainPanel";

LRESULT CALLBACK PlainWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY && !GetParent(window)) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, msg, wParam, lParam);
}

bool RegisterPlainClass(HINSTANCE instance, const wchar_t* name) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &PlainWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    return RegisterClassW(&wc) != 0;
}

struct Place {
    int left, top, width, height;
};

HWND Child(HWND parent, const wchar_t* className, DWORD style, DWORD exStyle, Place at) {
    HWND child = CreateWindowExW(exStyle, className, L"", WS_CHILD | WS_VISIBLE | style, at.left, at.top, at.width,
                                 at.height, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return child;
}

void ListDrives(HWND combo) {
    wchar_t drives[128] = {};
    const DWORD length = GetLogicalDriveStringsW(128, drives);
    for (const wchar_t* drive = drives; drive < drives + length && *drive; drive += lstrlenW(drive) + 1)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

void ListFolder(HWND folders, HWND files) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"*", &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        SendMessageW(folder ? folders : files, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The player's windows at start: the tool bar with its button, volume field,
// spin button and media bar; the file list; the folder panel with the drive
// list and the folder list; the slider and the status bar. The hidden filter
// list and description group get theirs only when first shown.
void MakePlayerWindows(HWND form) {
    HWND toolBar = Child(form, kPanelClass, 0, 0, {0, 0, 445, 32});
    Child(toolBar, kPanelClass, 0, 0, {2, 2, 57, 28});
    HWND volume = Child(toolBar, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, {60, 2, 49, 26});
    Child(volume, kPanelClass, 0, 0, {30, 0, 15, 22});
    Child(toolBar, L"BUTTON", BS_OWNERDRAW | WS_TABSTOP, 0, {360, 2, 80, 28});
    HWND files = Child(form, L"LISTBOX", LBS_NOTIFY | LBS_SORT | WS_VSCROLL,
                       WS_EX_CLIENTEDGE, {8, 56, 210, 224});
    HWND folderPanel = Child(form, kPanelClass, 0, 0, {220, 56, 210, 224});
    HWND drives = Child(folderPanel, L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 0, {0, 0, 210, 200});
    HWND folders = Child(folderPanel, L"LISTBOX", LBS_NOTIFY | WS_VSCROLL,
                         WS_EX_CLIENTEDGE, {0, 28, 210, 196});
    Child(form, TRACKBAR_CLASSW, TBS_BOTH | TBS_NOTICKS, 0, {8, 282, 422, 28});
    Child(form, STATUSCLASSNAMEW, SBARS_SIZEGRIP, 0, {0, 323, 445, 22});
    ListDrives(drives);
    ListFolder(folders, files);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    const INITCOMMONCONTROLSEX bars{sizeof bars, ICC_BAR_CLASSES};
    InitCommonControlsEx(&bars);
    if (!RegisterPlainClass(instance, kFormClass) || !RegisterPlainClass(instance, kPanelClass)) return 1;
    // Owned by the message loop below: WM_CLOSE destroys it.
    HWND form = CreateWindowExW(WS_EX_WINDOWEDGE, kFormClass, L"Plain", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 197,
                                103, 445, 345, nullptr, nullptr, instance, nullptr);
    if (!form) return 1;
    MakePlayerWindows(form);
    ShowWindow(form, showCommand);
    UpdateWindow(form);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}
