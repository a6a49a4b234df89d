// Drives the real Update.exe from outside, as a user would: starts it,
// finds its windows, reads what its controls show and presses its keys and
// buttons. Everything goes through messages and window state that any
// other program can see, so the updater runs exactly as it does for users.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace driver {

// Generous: a window or state that has not come within this never will.
constexpr DWORD kPatience = 20000;

// Polls until the condition holds; false when it never did.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeout = kPatience)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > timeout)
            return condition();
        Sleep(20);
    }
}

// Texts are compared in UTF-8, which GoogleTest prints as text when a
// comparison fails.
std::string Utf8(const std::wstring& text);
// Shift-JIS bytes (paths, as the updater reads them) as a window shows them.
std::string Utf8FromShiftJis(const std::string& bytes);

// What a window shows; the empty string when it does not answer.
std::string Text(HWND window);
bool Visible(HWND window);
bool Enabled(HWND window);
LONG Style(HWND window);

// Left, top, width and height, the order a layout is written in.
struct Bounds {
    int Left;
    int Top;
    int Width;
    int Height;
    bool operator==(const Bounds&) const = default;
};
void PrintTo(const Bounds& bounds, std::ostream* out);

// A control's rectangle in its parent's client coordinates.
Bounds BoundsInParent(HWND control);
// The window's client area; left and top are 0.
Bounds ClientBounds(HWND window);
// The whole window, frame included, in screen coordinates.
Bounds WindowBounds(HWND window);

int ProgressPosition(HWND progressBar);
int ProgressMaximum(HWND progressBar);

// The updater's process, started from an exe path. The destructor ends it
// if it is still running, so a failed test leaves no window behind.
class UpdaterProcess {
public:
    // showCommand, when given, is passed through STARTF_USESHOWWINDOW, as a
    // shortcut set to run minimised does.
    explicit UpdaterProcess(const std::string& exe, std::optional<WORD> showCommand = std::nullopt);
    UpdaterProcess(const UpdaterProcess&) = delete;
    UpdaterProcess& operator=(const UpdaterProcess&) = delete;
    ~UpdaterProcess();

    bool Started() const { return process_.hProcess != nullptr; }
    DWORD StartError() const { return startError_; }
    bool Running() const;
    // The exit code, once the process has ended within the timeout.
    std::optional<DWORD> WaitForExit(DWORD timeout = kPatience) const;
    // Waits until the updater first waits for input (its message loop).
    bool WaitForInputIdle(DWORD timeout = kPatience) const;

    // A top-level window of this process with that class (and caption, when
    // given), visible or not; null when there is none.
    HWND FindTopLevel(const wchar_t* windowClass, const wchar_t* caption = nullptr) const;
    // The keyboard focus of the updater's user-interface thread.
    HWND Focus() const;

private:
    PROCESS_INFORMATION process_{};
    DWORD startError_ = 0;
};

// The main window and its controls, under their designer names.
struct UpdaterWindow {
    HWND Form = nullptr;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND PathLabel = nullptr;
    HWND Bevel1 = nullptr;
    HWND Label3 = nullptr;
    HWND Button1 = nullptr;
    HWND Button2 = nullptr;
    HWND ProgressBar1 = nullptr;
};

// The main window's class and caption.
extern const wchar_t kFormClass[];
extern const wchar_t kFormCaption[];
// The hidden application window that stands for the program in the
// taskbar, and its title.
extern const wchar_t kApplicationClass[];
extern const wchar_t kApplicationTitle[];

// Finds the main window (shown or not) and its eight controls, which must
// be there in their creation order with their system classes. Waits for
// them to exist.
testing::AssertionResult FindUpdaterWindow(const UpdaterProcess& process, UpdaterWindow* window);

// Waits until the main window is shown and the focus has landed in it, as
// it does at the end of the first show.
testing::AssertionResult WaitForShownWindow(const UpdaterProcess& process, UpdaterWindow* window);

// The error box, once shown: its caption and message.
struct MessageBoxWindow {
    HWND Box = nullptr;
    std::string Caption;
    std::string Message;
    HWND OkButton = nullptr;
};
testing::AssertionResult WaitForMessageBox(const UpdaterProcess& process, MessageBoxWindow* box);

// Input, posted as the system posts it, so that it takes the way of real
// input through the updater's message loop.
void PressKey(HWND target, UINT virtualKey);
// Presses the key in whichever window of the updater has the focus (the
// form itself when no control has it).
void PressKeyInFocus(const UpdaterProcess& process, const UpdaterWindow& window, UINT virtualKey);
void Click(HWND button);
// The title bar's close button.
void CloseFromTitleBar(HWND window);
// Restoring the program from its taskbar entry.
void RestoreFromTaskbar(HWND applicationWindow);

}  // namespace driver
