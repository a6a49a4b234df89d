#include "platform/Application.h"

#include "platform/Forms.h"
#include "platform/Handles.h"
#include "platform/ResourceIds.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"

#include <commctrl.h>

namespace platform {

TApplication Application;

namespace {

constexpr wchar_t kWindowClass[] = L"ApplicationWindow";

// The progress bar's class lives in comctl32, which is not one of the DLLs
// Windows always takes from the system folder.
void RegisterCommonControlClasses()
{
    using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto initCommonControlsEx =
        SystemFunction<InitCommonControlsExFunction>(LoadSystemLibrary(L"comctl32.dll"), "InitCommonControlsEx");
    if (!initCommonControlsEx)
        return;
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    initCommonControlsEx(&classes);
}

HICON LoadApplicationIcon(int metricX, int metricY)
{
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(APPLICATION_ICON_ID), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY), 0));
}

int StartupShowCommand()
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL;
}

bool IsMinimisedShow(int showCommand)
{
    return showCommand == SW_SHOWMINNOACTIVE || showCommand == SW_SHOWMINIMIZED || showCommand == SW_MINIMIZE;
}

bool EndsAfterFullStop(const std::string& message)
{
    // Lead and trail bytes of Shift-JIS characters all sort after ".", so
    // the last byte decides as the last character would.
    return !message.empty() && static_cast<unsigned char>(message.back()) > '.';
}

}  // namespace

// The hidden owner of every form. Its taskbar entry stands for the program,
// with the title and the icon, so the forms need none of their own.
struct TApplication::Window {
    UniqueWindow handle;
    UniqueIcon largeIcon;
    UniqueIcon smallIcon;
};

struct ApplicationWindowProcedure {
    static LRESULT CALLBACK Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_CLOSE:
            if (Application.mainForm_)
                Application.mainForm_->Close();
            else
                Application.Terminate();
            return 0;
        case WM_SIZE:
            if (wParam == SIZE_RESTORED)
                Application.OnRestored();
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) {
                Application.OnActivate();
                return 0;
            }
            break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

TApplication::TApplication() { RestrictDllSearchToSystemFolder(); }

TApplication::~TApplication()
{
    // Windows going away still send messages to the application window.
    mainForm_ = nullptr;
    forms_.clear();
}

HWND TApplication::Handle()
{
    if (window_)
        return window_->handle.get();

    RegisterCommonControlClasses();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    window_ = std::make_unique<Window>();
    window_->largeIcon.reset(LoadApplicationIcon(SM_CXICON, SM_CYICON));
    window_->smallIcon.reset(LoadApplicationIcon(SM_CXSMICON, SM_CYSMICON));

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ApplicationWindowProcedure::Handle;
    windowClass.hInstance = instance;
    windowClass.hIcon = window_->largeIcon.get();
    windowClass.hIconSm = window_->smallIcon.get();
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);

    // Zero-sized at the centre of the screen: visible for the taskbar only.
    window_->handle.reset(CreateWindowExW(
        0, kWindowClass, WideFromShiftJis(title_).c_str(),
        WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, GetSystemMetrics(SM_CXSCREEN) / 2,
        GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr, nullptr, instance, nullptr));
    SendMessageW(window_->handle.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(window_->largeIcon.get()));
    SendMessageW(window_->handle.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(window_->smallIcon.get()));
    return window_->handle.get();
}

void TApplication::SetTitle(const std::string& title)
{
    title_ = title;
    SetWindowTextW(Handle(), WideFromShiftJis(title_).c_str());
}

void TApplication::Adopt(std::unique_ptr<TForm> form)
{
    if (!mainForm_)
        mainForm_ = form.get();
    forms_.push_back(std::move(form));
}

void TApplication::Run()
{
    if (!mainForm_)
        return;

    // Started minimised, only the taskbar entry shows; the main form is
    // shown for the first time when the program is restored.
    const int showCommand = StartupShowCommand();
    if (IsMinimisedShow(showCommand)) {
        ShowWindow(Handle(), SW_SHOWMINNOACTIVE);
    } else {
        ShowWindow(Handle(), SW_SHOWNOACTIVATE);
        mainForm_->ShowFirstTime(showCommand == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    }

    MSG message;
    while (!terminated_) {
        const BOOL received = GetMessageW(&message, nullptr, 0, 0);
        if (received == 0 || received == -1) {
            terminated_ = true;
            break;
        }
        Dispatch(message);
    }
}

void TApplication::ProcessMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            terminated_ = true;
        else
            Dispatch(message);
    }
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::Dispatch(MSG& message)
{
    for (const auto& form : forms_) {
        const HWND formWindow = form->Handle();
        if (message.hwnd != formWindow && !IsChild(formWindow, message.hwnd))
            continue;
        if (message.message == WM_KEYDOWN && form->HandleDialogKey(static_cast<unsigned>(message.wParam)))
            return;
        if (IsDialogMessageW(formWindow, &message))
            return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void TApplication::OnRestored()
{
    if (mainForm_ && !mainForm_->WasShown())
        mainForm_->ShowFirstTime(SW_SHOWNORMAL);
}

void TApplication::OnActivate()
{
    // Activating the taskbar entry activates the form it stands for.
    if (mainForm_ && mainForm_->WasShown() && IsWindowVisible(mainForm_->Handle()))
        SetActiveWindow(mainForm_->Handle());
}

void TApplication::ShowException(const std::string& message)
{
    const std::string text = EndsAfterFullStop(message) ? message + "." : message;
    MessageBoxW(nullptr, WideFromShiftJis(text).c_str(), WideFromShiftJis(title_).c_str(),
                MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

}  // namespace platform
