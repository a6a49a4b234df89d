// Forms and their controls, laid out from a design given in pixels at 96
// dots per inch for a text height of 12 pixels. Every control is a real
// child window of a standard system class, so that screen readers and UI
// automation can read it.
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

struct HWND__;
struct HFONT__;

namespace platform {

struct TBounds {
    int Left;
    int Top;
    int Width;
    int Height;
};

// Which edges of the form a control keeps its distance to.
enum class TAnchors { LeftTop, LeftTopRight };

class TForm;

class TControl {
public:
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;
    virtual ~TControl();

    const std::string& Caption() const noexcept { return caption_; }
    void SetCaption(const std::string& caption);

    bool Visible() const noexcept { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }

    bool Enabled() const noexcept { return enabled_; }
    void SetEnabled(bool enabled);

protected:
    TControl(TForm& owner, TBounds bounds, std::string caption, TAnchors anchors = TAnchors::LeftTop);

    HWND__* Handle() const noexcept;
    TForm& Owner() const noexcept { return owner_; }
    HFONT__* OwnerFont() const noexcept;

    // What the window is made of: system class and style bits.
    virtual const wchar_t* WindowClass() const = 0;
    virtual unsigned long WindowStyle() const = 0;
    // The size the control takes for its caption; the design size by default.
    virtual TBounds FittedBounds(TBounds scaled) const { return scaled; }
    virtual void HandleCreated() {}

private:
    friend class TForm;
    void CreateHandle(int id);
    void FitToClientWidth(int clientWidth);
    bool HasHandle(HWND__* window) const noexcept { return window && window == Handle(); }

    TForm& owner_;
    const TBounds design_;
    const TAnchors anchors_;
    TBounds bounds_{};
    int rightMargin_ = 0;
    int id_ = 0;
    std::string caption_;
    bool visible_ = true;
    bool enabled_ = true;
    struct WindowOwner;
    std::unique_ptr<WindowOwner> window_;
};

enum class TLabelLayout {
    SingleLine,  // fixed size, one line cut off at its edges
    WordWrap,    // fixed size, broken between words
    AutoSize,    // sized to its one-line caption
};

// Whether "&" marks the next character as an accelerator ("&&" is one "&").
enum class TShowAccelChar { Yes, No };

class TLabel : public TControl {
public:
    TLabel(TForm& owner, TBounds bounds, std::string caption, TLabelLayout layout,
           TAnchors anchors = TAnchors::LeftTop, TShowAccelChar accelChar = TShowAccelChar::Yes);

private:
    const wchar_t* WindowClass() const override;
    unsigned long WindowStyle() const override;
    TBounds FittedBounds(TBounds scaled) const override;

    TLabelLayout layout_;
    TShowAccelChar accelChar_;
};

// Default: pressed by Enter when the focus is on no button.
// Cancel: pressed by Esc.
enum class TButtonRole { Plain, Default, Cancel };

class TButton : public TControl {
public:
    TButton(TForm& owner, TBounds bounds, std::string caption, TButtonRole role);

    std::function<void()> OnClick;

    // Runs OnClick, as a mouse click would, when the button can be pressed.
    void Click();
    TButtonRole Role() const noexcept { return role_; }

private:
    const wchar_t* WindowClass() const override;
    unsigned long WindowStyle() const override;

    TButtonRole role_;
};

// A lowered horizontal rule.
class TBevel : public TControl {
public:
    TBevel(TForm& owner, TBounds bounds);

private:
    const wchar_t* WindowClass() const override;
    unsigned long WindowStyle() const override;
};

// A horizontal, segmented progress bar; not a tab stop.
class TProgressBar : public TControl {
public:
    TProgressBar(TForm& owner, TBounds bounds, int min, int max, int step);

    void SetMax(int max);
    void SetPosition(int position);
    int Position() const;
    void StepIt();

private:
    const wchar_t* WindowClass() const override;
    unsigned long WindowStyle() const override;
    void HandleCreated() override;

    int min_;
    int max_;
    int step_;
    int position_ = 0;
};

struct TFormDesign {
    const wchar_t* WindowClass;  // registered once per form class
    std::string Caption;
    int ClientWidth;
    int ClientHeight;
    std::string FontName;
    int FontHeight;  // negative: character height without internal leading
};

// A fixed-size dialog-frame window: no title-bar icon, only the close
// button, a system menu of Move and Close, the button-face colour.
class TForm {
public:
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;
    virtual ~TForm();

    std::function<void()> OnCreate;
    std::function<void()> OnShow;

    // Asks no question: ends the program's message loop.
    void Close();

protected:
    explicit TForm(const TFormDesign& design);

    // Makes the controls' windows, in this order (their tab and Z order),
    // then runs OnCreate.
    void CreateControls(std::initializer_list<TControl*> creationOrder);

private:
    friend class TControl;
    friend class TApplication;
    friend struct FormWindowProcedure;

    HWND__* Handle() const noexcept;
    HFONT__* Font() const noexcept;
    int Scale(int designPixels) const noexcept;
    int NextControlId() noexcept { return ++lastControlId_; }

    // Called by the application: the first call runs OnShow, then centres
    // the window on the desktop, shows it and focuses its first button.
    void ShowFirstTime(int showCommand);
    bool WasShown() const noexcept { return shown_; }
    // Enter and Esc as a dialog takes them; true when the key was the
    // form's to handle.
    bool HandleDialogKey(unsigned key);

    // One function per window message.
    void OnCommand(int id, int notification);
    void OnSize(int clientWidth);
    bool OnActivate(bool active);
    int DefaultButtonId() const;
    void UpdateDefaultFrame();

    TButton* FocusedButton() const;
    TButton* ButtonPressedByEnter() const;
    TButton* ButtonWithRole(TButtonRole role) const;
    void FocusFirstButton();
    void CentreOnDesktop();
    void MoveFocusOffControl(HWND__* control);

    struct Resources;
    std::unique_ptr<Resources> resources_;
    std::vector<TControl*> controls_;
    int scaledTextHeight_ = 12;
    int lastControlId_ = 100;
    bool shown_ = false;
};

}  // namespace platform
