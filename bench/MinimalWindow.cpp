// The smallest window program there is, as the yardstick for start-up times:
// it registers a class, shows one window and serves messages until closed.
#include <windows.h>

namespace {

constexpr wchar_t kClassName[] = L"BrumikBenchMinimalWindow";

LRESULT CALLBACK MinimalWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &MinimalWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassW(&wc)) return 1;
    // Owned by the message loop below: WM_CLOSE destroys it.
    HWND window = CreateWindowExW(0, kClassName, L"Minimal", WS_OVERLAPPEDWINDOW, 197, 103, 445, 345, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}
