// The start-up baseline: registers one class, shows one window of the size
// given on the command line at the centre of the screen, and runs a message
// loop until the window is closed. Whatever the updater needs beyond this
// is its own start-up cost.
#include <windows.h>

#include <cstdlib>

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

// Arguments: the window's outer width and height in pixels.
int main(int argc, char** argv)
{
    const int width = argc > 2 ? std::atoi(argv[1]) : 457;
    const int height = argc > 2 ? std::atoi(argv[2]) : 243;
    const HINSTANCE instance = GetModuleHandleW(nullptr);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BenchMinimalWindow";
    RegisterClassExW(&windowClass);

    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    const HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME, L"BenchMinimalWindow", L"Bench", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                        left, top, width, height, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
