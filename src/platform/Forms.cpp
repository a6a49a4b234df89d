#include "platform/Forms.h"

#include "platform/Application.h"
#include "platform/Handles.h"
#include "platform/SystemLibrary.h"
#include "platform/Text.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace platform {

namespace {

// The design's pixels assume a text height of 12 at 96 dots per inch.
constexpr int kDesignTextHeight = 12;
constexpr int kDesignDotsPerInch = 96;

// Posted to the form when the focus has moved between its buttons.
constexpr UINT kUpdateDefaultFrame = WM_APP + 1;

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

bool ModifierHeld()
{
    return GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
}

int TextHeightOfZero(HFONT font)
{
    ScreenDC screen;
    SelectedObject selected(screen.get(), font);
    SIZE size{};
    GetTextExtentPoint32W(screen.get(), L"0", 1, &size);
    return size.cy;
}

// Leaves Move and Close: the window can be neither resized, minimised nor
// maximised.
void TrimSystemMenu(HWND window)
{
    const HMENU menu = GetSystemMenu(window, FALSE);
    for (int position = GetMenuItemCount(menu) - 1; position >= 0; --position) {
        const UINT command = GetMenuItemID(menu, position);
        if (command != SC_MOVE && command != SC_CLOSE)
            DeleteMenu(menu, position, MF_BYPOSITION);
    }
}

// The segmented bar of the classic look, whatever visual style is in use.
void RemoveVisualStyle(HWND window)
{
    using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    static const auto setWindowTheme =
        SystemFunction<SetWindowThemeFunction>(LoadSystemLibrary(L"uxtheme.dll"), "SetWindowTheme");
    if (setWindowTheme)
        setWindowTheme(window, L" ", L" ");
}

LRESULT PaintStaticOpaque(HDC dc)
{
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace

// ---------------------------------------------------------------- TControl

struct TControl::WindowOwner {
    UniqueWindow handle;
};

TControl::TControl(TForm& owner, TBounds bounds, std::string caption, TAnchors anchors)
    : owner_(owner), design_(bounds), anchors_(anchors), caption_(std::move(caption)),
      window_(std::make_unique<WindowOwner>())
{
}

TControl::~TControl() = default;

HWND TControl::Handle() const noexcept { return window_->handle.get(); }

HFONT TControl::OwnerFont() const noexcept { return owner_.Font(); }

void TControl::CreateHandle(int id)
{
    id_ = id;
    const TForm& form = Owner();
    bounds_ = FittedBounds({form.Scale(design_.Left), form.Scale(design_.Top), form.Scale(design_.Width),
                            form.Scale(design_.Height)});
    RECT client{};
    GetClientRect(form.Handle(), &client);
    rightMargin_ = client.right - (bounds_.Left + bounds_.Width);

    const DWORD style = WS_CHILD | WindowStyle() | (visible_ ? WS_VISIBLE : 0) | (enabled_ ? 0 : WS_DISABLED);
    window_->handle.reset(CreateWindowExW(0, WindowClass(), WideFromShiftJis(caption_).c_str(), style,
                                          bounds_.Left, bounds_.Top, bounds_.Width, bounds_.Height, form.Handle(),
                                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                          GetModuleHandleW(nullptr), nullptr));
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(form.Font()), FALSE);
    HandleCreated();
}

void TControl::FitToClientWidth(int clientWidth)
{
    if (anchors_ != TAnchors::LeftTopRight || !Handle())
        return;
    bounds_.Width = std::max(0, clientWidth - bounds_.Left - rightMargin_);
    SetWindowPos(Handle(), nullptr, 0, 0, bounds_.Width, bounds_.Height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::SetCaption(const std::string& caption)
{
    caption_ = caption;
    if (!Handle())
        return;
    SetWindowTextW(Handle(), WideFromShiftJis(caption_).c_str());
    const TBounds fitted = FittedBounds(bounds_);
    if (fitted.Width != bounds_.Width || fitted.Height != bounds_.Height) {
        bounds_ = fitted;
        SetWindowPos(Handle(), nullptr, 0, 0, bounds_.Width, bounds_.Height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TControl::SetVisible(bool visible)
{
    visible_ = visible;
    if (!Handle())
        return;
    if (!visible)
        Owner().MoveFocusOffControl(Handle());
    ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

void TControl::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    if (!Handle())
        return;
    // The system would leave the keyboard focus nowhere.
    if (!enabled)
        Owner().MoveFocusOffControl(Handle());
    EnableWindow(Handle(), enabled);
}

// ------------------------------------------------------------------ TLabel

TLabel::TLabel(TForm& owner, TBounds bounds, std::string caption, TLabelLayout layout, TAnchors anchors,
               TShowAccelChar accelChar)
    : TControl(owner, bounds, std::move(caption), anchors), layout_(layout), accelChar_(accelChar)
{
}

const wchar_t* TLabel::WindowClass() const { return L"STATIC"; }

unsigned long TLabel::WindowStyle() const
{
    const DWORD prefix = accelChar_ == TShowAccelChar::No ? SS_NOPREFIX : 0;
    return (layout_ == TLabelLayout::WordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP) | prefix;
}

TBounds TLabel::FittedBounds(TBounds scaled) const
{
    if (layout_ != TLabelLayout::AutoSize)
        return scaled;
    ScreenDC screen;
    SelectedObject selected(screen.get(), OwnerFont());
    RECT extent{};
    const std::wstring text = WideFromShiftJis(Caption());
    const UINT prefix = accelChar_ == TShowAccelChar::No ? DT_NOPREFIX : 0;
    DrawTextW(screen.get(), text.c_str(), static_cast<int>(text.size()), &extent,
              DT_CALCRECT | DT_SINGLELINE | DT_LEFT | prefix);
    return {scaled.Left, scaled.Top, extent.right - extent.left, extent.bottom - extent.top};
}

// ----------------------------------------------------------------- TButton

TButton::TButton(TForm& owner, TBounds bounds, std::string caption, TButtonRole role)
    : TControl(owner, bounds, std::move(caption)), role_(role)
{
}

void TButton::Click()
{
    if (Visible() && Enabled() && OnClick)
        Application.Guard(OnClick);
}

const wchar_t* TButton::WindowClass() const { return L"BUTTON"; }

unsigned long TButton::WindowStyle() const
{
    // BS_NOTIFY reports focus changes, so the form can move the default
    // frame to the button that Enter presses.
    return WS_TABSTOP | BS_NOTIFY | (role_ == TButtonRole::Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

// ------------------------------------------------------------------ TBevel

TBevel::TBevel(TForm& owner, TBounds bounds) : TControl(owner, bounds, {}) {}

const wchar_t* TBevel::WindowClass() const { return L"STATIC"; }

// One pixel of the shadow colour: what a lowered line one pixel high shows.
// An etched line would size itself to its border, two pixels high and
// wider than laid out.
unsigned long TBevel::WindowStyle() const { return SS_GRAYRECT; }

// ------------------------------------------------------------ TProgressBar

TProgressBar::TProgressBar(TForm& owner, TBounds bounds, int min, int max, int step)
    : TControl(owner, bounds, {}), min_(min), max_(max), step_(step), position_(min)
{
}

const wchar_t* TProgressBar::WindowClass() const { return PROGRESS_CLASSW; }

// Without PBS_SMOOTH the bar is drawn in segments.
unsigned long TProgressBar::WindowStyle() const { return 0; }

void TProgressBar::HandleCreated()
{
    RemoveVisualStyle(Handle());
    SendMessageW(Handle(), PBM_SETRANGE32, min_, max_);
    SendMessageW(Handle(), PBM_SETSTEP, step_, 0);
    SendMessageW(Handle(), PBM_SETPOS, position_, 0);
}

void TProgressBar::SetMax(int max)
{
    max_ = max;
    if (Handle())
        SendMessageW(Handle(), PBM_SETRANGE32, min_, max_);
}

void TProgressBar::SetPosition(int position)
{
    position_ = std::clamp(position, min_, max_);
    if (Handle())
        SendMessageW(Handle(), PBM_SETPOS, position_, 0);
}

int TProgressBar::Position() const
{
    return Handle() ? static_cast<int>(SendMessageW(Handle(), PBM_GETPOS, 0, 0)) : position_;
}

void TProgressBar::StepIt()
{
    if (Handle()) {
        SendMessageW(Handle(), PBM_STEPIT, 0, 0);
        position_ = Position();
    } else {
        position_ = std::min(position_ + step_, max_);
    }
}

// ------------------------------------------------------------------- TForm

struct TForm::Resources {
    UniqueWindow window;
    UniqueFont font;
    HWND focusBeforeDeactivation = nullptr;
};

struct FormWindowProcedure {
    static LRESULT CALLBACK Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            auto* created = reinterpret_cast<TForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            created->resources_->window.reset(window);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        }
        auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!form)
            return DefWindowProcW(window, message, wParam, lParam);

        switch (message) {
        case WM_COMMAND:
            form->OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CTLCOLORSTATIC:
            return PaintStaticOpaque(reinterpret_cast<HDC>(wParam));
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED)
                form->OnSize(LOWORD(lParam));
            return 0;
        case WM_ACTIVATE:
            if (form->OnActivate(LOWORD(wParam) != WA_INACTIVE))
                return 0;
            break;
        case WM_CLOSE:
            form->Close();
            return 0;
        case DM_GETDEFID:
            return form->DefaultButtonId();
        case kUpdateDefaultFrame:
            form->UpdateDefaultFrame();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

TForm::TForm(const TFormDesign& design) : resources_(std::make_unique<Resources>())
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = FormWindowProcedure::Handle;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = design.WindowClass;
    RegisterClassExW(&windowClass);

    // First the font follows the screen's dots per inch; then the layout
    // follows the height the font really has.
    int fontHeight = design.FontHeight;
    {
        ScreenDC screen;
        const int dotsPerInch = GetDeviceCaps(screen.get(), LOGPIXELSY);
        if (dotsPerInch != kDesignDotsPerInch)
            fontHeight = MulDiv(fontHeight, dotsPerInch, kDesignDotsPerInch);
    }
    resources_->font.reset(CreateFontW(fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH | FF_DONTCARE, WideFromShiftJis(design.FontName).c_str()));
    scaledTextHeight_ = TextHeightOfZero(resources_->font.get());

    RECT frame{0, 0, Scale(design.ClientWidth), Scale(design.ClientHeight)};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    CreateWindowExW(kFormExStyle, design.WindowClass, WideFromShiftJis(design.Caption).c_str(), kFormStyle, 0, 0,
                    frame.right - frame.left, frame.bottom - frame.top, Application.Handle(), nullptr, instance, this);
    SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    TrimSystemMenu(Handle());
}

TForm::~TForm()
{
    // The controls are gone by now; messages sent while the window goes
    // must not reach them.
    if (Handle())
        SetWindowLongPtrW(Handle(), GWLP_USERDATA, 0);
}

HWND TForm::Handle() const noexcept { return resources_->window.get(); }

HFONT TForm::Font() const noexcept { return resources_->font.get(); }

int TForm::Scale(int designPixels) const noexcept
{
    return scaledTextHeight_ == kDesignTextHeight ? designPixels
                                                   : MulDiv(designPixels, scaledTextHeight_, kDesignTextHeight);
}

void TForm::CreateControls(std::initializer_list<TControl*> creationOrder)
{
    for (TControl* control : creationOrder) {
        control->CreateHandle(NextControlId());
        controls_.push_back(control);
    }
    if (OnCreate)
        Application.Guard(OnCreate);
}

void TForm::Close() { Application.Terminate(); }

void TForm::ShowFirstTime(int showCommand)
{
    if (shown_)
        return;
    shown_ = true;
    if (OnShow)
        Application.Guard(OnShow);
    CentreOnDesktop();
    ShowWindow(Handle(), showCommand);
    FocusFirstButton();
}

void TForm::CentreOnDesktop()
{
    RECT frame{};
    GetWindowRect(Handle(), &frame);
    const int left = std::max(0, (GetSystemMetrics(SM_CXVIRTUALSCREEN) - int(frame.right - frame.left)) / 2);
    const int top = std::max(0, (GetSystemMetrics(SM_CYVIRTUALSCREEN) - int(frame.bottom - frame.top)) / 2);
    SetWindowPos(Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::FocusFirstButton()
{
    for (TControl* control : controls_) {
        if (dynamic_cast<TButton*>(control) && control->Visible() && control->Enabled()) {
            SetFocus(control->Handle());
            return;
        }
    }
}

void TForm::MoveFocusOffControl(HWND control)
{
    const HWND focus = GetFocus();
    if (focus && (focus == control || IsChild(control, focus)))
        SetFocus(Handle());
}

TButton* TForm::FocusedButton() const
{
    const HWND focus = GetFocus();
    for (TControl* control : controls_) {
        if (control->HasHandle(focus))
            return dynamic_cast<TButton*>(control);
    }
    return nullptr;
}

// The focused button, else the default one.
TButton* TForm::ButtonPressedByEnter() const
{
    TButton* focused = FocusedButton();
    return focused ? focused : ButtonWithRole(TButtonRole::Default);
}

TButton* TForm::ButtonWithRole(TButtonRole role) const
{
    for (TControl* control : controls_) {
        auto* button = dynamic_cast<TButton*>(control);
        if (button && button->Role() == role)
            return button;
    }
    return nullptr;
}

bool TForm::HandleDialogKey(unsigned key)
{
    if (key != VK_RETURN && key != VK_ESCAPE)
        return false;
    if (!ModifierHeld()) {
        TButton* target = key == VK_RETURN ? ButtonPressedByEnter() : ButtonWithRole(TButtonRole::Cancel);
        if (target)
            target->Click();
    }
    return true;
}

void TForm::OnCommand(int id, int notification)
{
    if (notification == BN_SETFOCUS || notification == BN_KILLFOCUS) {
        // Posted: while the focus is moving, it is not yet where it goes.
        PostMessageW(Handle(), kUpdateDefaultFrame, 0, 0);
        return;
    }
    if (notification != BN_CLICKED)
        return;
    for (TControl* control : controls_) {
        if (control->id_ == id) {
            if (auto* button = dynamic_cast<TButton*>(control))
                button->Click();
            return;
        }
    }
}

void TForm::OnSize(int clientWidth)
{
    for (TControl* control : controls_)
        control->FitToClientWidth(clientWidth);
}

bool TForm::OnActivate(bool active)
{
    // Like a dialog, the form gives the focus back to the control that had
    // it when the user switched away.
    if (!active) {
        const HWND focus = GetFocus();
        resources_->focusBeforeDeactivation = IsChild(Handle(), focus) ? focus : nullptr;
        return false;
    }
    const HWND previous = std::exchange(resources_->focusBeforeDeactivation, nullptr);
    if (!previous || !IsWindowVisible(previous) || !IsWindowEnabled(previous))
        return false;
    SetFocus(previous);
    return true;
}

// The frame marks the button that Enter presses.
void TForm::UpdateDefaultFrame()
{
    const TButton* pressedByEnter = ButtonPressedByEnter();
    for (TControl* control : controls_) {
        if (auto* button = dynamic_cast<TButton*>(control)) {
            const DWORD style = button == pressedByEnter ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            SendMessageW(button->Handle(), BM_SETSTYLE, style | BS_NOTIFY, TRUE);
        }
    }
}

int TForm::DefaultButtonId() const
{
    const TButton* button = ButtonWithRole(TButtonRole::Default);
    return button && button->Visible() ? MAKELONG(button->id_, DC_HASDEFID) : 0;
}

}  // namespace platform
