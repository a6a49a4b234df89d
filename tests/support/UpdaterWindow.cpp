#include "support/UpdaterWindow.h"

#include <commctrl.h>

#include <vector>

namespace driver {

const wchar_t kFormCaption[] = L"ペルセリオナヴィロ（改訂版）";
const wchar_t kFormClass[] = L"TForm1";
// An ideographic space between the two words.
const wchar_t kApplicationTitle[] = L"トリヴァント\u3000ナヴィロアップデート";
const wchar_t kApplicationClass[] = L"ApplicationWindow";

namespace {

// Long enough for the updater to finish the file in hand: it answers only
// between files while it copies.
constexpr UINT kAnswerTimeout = 30000;

std::wstring WideText(HWND window);

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? length : 0);
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result)
{
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerTimeout, result) != 0;
}

struct TopLevelSearch {
    DWORD processId;
    const wchar_t* windowClass;
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<TopLevelSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || ClassName(window) != search->windowClass)
        return TRUE;
    if (search->caption && WideText(window) != search->caption)
        return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM lParam)
{
    auto* children = reinterpret_cast<std::vector<HWND>*>(lParam);
    children->push_back(window);
    return TRUE;
}

std::vector<HWND> DirectChildren(HWND parent)
{
    std::vector<HWND> all;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> direct;
    for (HWND child : all) {
        if (GetAncestor(child, GA_PARENT) == parent)
            direct.push_back(child);
    }
    return direct;
}

// The test reads rectangles in the updater's own pixels. A program that
// declares no DPI awareness would be handed rectangles scaled to 96 DPI.
void ReadPhysicalPixels()
{
    static const bool done = [] {
        using SetContext = BOOL(WINAPI*)(HANDLE);
        const auto set = reinterpret_cast<SetContext>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
        // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE
        if (set)
            set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)));
        return true;
    }();
    (void)done;
}

std::wstring WideText(HWND window)
{
    DWORD_PTR length = 0;
    if (!window || !Send(window, WM_GETTEXTLENGTH, 0, 0, &length))
        return {};
    std::vector<wchar_t> buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied))
        return {};
    return std::wstring(buffer.data(), copied);
}

}  // namespace

std::string Utf8(const std::wstring& text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

std::string Utf8FromShiftJis(const std::string& bytes)
{
    const int length = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                           nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), wide.data(), length);
    return Utf8(wide);
}

std::string Text(HWND window) { return Utf8(WideText(window)); }

bool Visible(HWND window) { return window && IsWindowVisible(window); }

bool Enabled(HWND window) { return window && IsWindowEnabled(window); }

LONG Style(HWND window) { return GetWindowLongW(window, GWL_STYLE); }

void PrintTo(const Bounds& bounds, std::ostream* out)
{
    *out << "{" << bounds.Left << ", " << bounds.Top << ", " << bounds.Width << ", " << bounds.Height << "}";
}

Bounds BoundsInParent(HWND control)
{
    ReadPhysicalPixels();
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, GetAncestor(control, GA_PARENT), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Bounds ClientBounds(HWND window)
{
    ReadPhysicalPixels();
    RECT rect{};
    GetClientRect(window, &rect);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Bounds WindowBounds(HWND window)
{
    ReadPhysicalPixels();
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

int ProgressPosition(HWND progressBar)
{
    DWORD_PTR position = 0;
    return Send(progressBar, PBM_GETPOS, 0, 0, &position) ? static_cast<int>(position) : -1;
}

int ProgressMaximum(HWND progressBar)
{
    DWORD_PTR maximum = 0;
    return Send(progressBar, PBM_GETRANGE, FALSE, 0, &maximum) ? static_cast<int>(maximum) : -1;
}

// ----------------------------------------------------------- UpdaterProcess

UpdaterProcess::UpdaterProcess(const std::string& exe, std::optional<WORD> showCommand)
{
    ReadPhysicalPixels();
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    if (showCommand) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = *showCommand;
    }
    std::string commandLine = "\"" + exe + "\"";
    // Started from the system folder, not its own: the updater must find
    // its Data folder beside itself whatever the current folder is.
    char systemFolder[MAX_PATH] = {};
    GetSystemDirectoryA(systemFolder, MAX_PATH);
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, systemFolder, &startup,
                        &process_)) {
        startError_ = GetLastError();
        process_ = {};
    }
}

UpdaterProcess::~UpdaterProcess()
{
    if (!Started())
        return;
    if (Running()) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, kPatience);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool UpdaterProcess::Running() const
{
    return Started() && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> UpdaterProcess::WaitForExit(DWORD timeout) const
{
    if (!Started() || WaitForSingleObject(process_.hProcess, timeout) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

bool UpdaterProcess::WaitForInputIdle(DWORD timeout) const
{
    return Started() && ::WaitForInputIdle(process_.hProcess, timeout) == 0;
}

HWND UpdaterProcess::FindTopLevel(const wchar_t* windowClass, const wchar_t* caption) const
{
    if (!Started())
        return nullptr;
    TopLevelSearch search{process_.dwProcessId, windowClass, caption, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND UpdaterProcess::Focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!Started() || !GetGUIThreadInfo(process_.dwThreadId, &info))
        return nullptr;
    return info.hwndFocus;
}

// ------------------------------------------------------------ the windows

testing::AssertionResult FindUpdaterWindow(const UpdaterProcess& process, UpdaterWindow* window)
{
    static const wchar_t* const kClasses[] = {L"Static", L"Static", L"Static", L"Static",
                                              L"Static", L"Button", L"Button", L"msctls_progress32"};
    constexpr size_t kControlCount = sizeof(kClasses) / sizeof(kClasses[0]);

    HWND form = nullptr;
    std::vector<HWND> children;
    WaitUntil([&] {
        form = process.FindTopLevel(kFormClass);
        children = form ? DirectChildren(form) : std::vector<HWND>{};
        return children.size() >= kControlCount || !process.Running();
    });
    if (!form)
        return testing::AssertionFailure()
               << (process.Running() ? "no main window appeared" : "the updater ended without a main window");
    if (children.size() != kControlCount)
        return testing::AssertionFailure() << "the main window has " << children.size() << " controls, not 8";
    for (size_t i = 0; i < kControlCount; ++i) {
        if (CompareStringOrdinal(ClassName(children[i]).c_str(), -1, kClasses[i], -1, TRUE) != CSTR_EQUAL)
            return testing::AssertionFailure() << "control " << i + 1 << " is of class "
                                               << Utf8(ClassName(children[i])) << ", not " << Utf8(kClasses[i]);
    }
    window->Form = form;
    window->Label1 = children[0];
    window->Label2 = children[1];
    window->PathLabel = children[2];
    window->Bevel1 = children[3];
    window->Label3 = children[4];
    window->Button1 = children[5];
    window->Button2 = children[6];
    window->ProgressBar1 = children[7];
    return testing::AssertionSuccess();
}

testing::AssertionResult WaitForShownWindow(const UpdaterProcess& process, UpdaterWindow* window)
{
    if (testing::AssertionResult found = FindUpdaterWindow(process, window); !found)
        return found;
    const HWND form = window->Form;
    const auto focusInForm = [&] {
        const HWND focus = process.Focus();
        return focus && (focus == form || IsChild(form, focus));
    };
    WaitUntil([&] { return !process.Running() || (Visible(form) && focusInForm()); });
    if (!process.Running())
        return testing::AssertionFailure() << "the updater ended before its window was shown";
    if (!Visible(form))
        return testing::AssertionFailure() << "the main window was never shown";
    if (!focusInForm())
        return testing::AssertionFailure() << "the main window was shown, but the focus never landed in it";
    return testing::AssertionSuccess();
}

testing::AssertionResult WaitForMessageBox(const UpdaterProcess& process, MessageBoxWindow* found)
{
    HWND box = nullptr;
    WaitUntil([&] {
        box = process.FindTopLevel(L"#32770");
        return (box && Visible(box)) || !process.Running();
    });
    if (!box || !Visible(box))
        return testing::AssertionFailure() << "no message box appeared";
    found->Box = box;
    found->Caption = Text(box);
    found->OkButton = GetDlgItem(box, IDOK);
    // The message is the one static control with text; the icon has none.
    for (HWND child : DirectChildren(box)) {
        if (CompareStringOrdinal(ClassName(child).c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL) {
            const std::string text = Text(child);
            if (!text.empty())
                found->Message = text;
        }
    }
    return testing::AssertionSuccess();
}

// ------------------------------------------------------------------ input

void PressKey(HWND target, UINT virtualKey)
{
    const LPARAM scanCode = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, virtualKey, scanCode | 1);
    PostMessageW(target, WM_KEYUP, virtualKey, scanCode | 1 | 0xC0000000);
}

void PressKeyInFocus(const UpdaterProcess& process, const UpdaterWindow& window, UINT virtualKey)
{
    const HWND focus = process.Focus();
    PressKey(focus ? focus : window.Form, virtualKey);
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void CloseFromTitleBar(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

void RestoreFromTaskbar(HWND applicationWindow) { PostMessageW(applicationWindow, WM_SYSCOMMAND, SC_RESTORE, 0); }

}  // namespace driver
