// The real Update.exe, driven from outside as a user would: what its window
// shows at start and after a run, what its keys and buttons do, and what
// the run leaves on disk.
#include "support/Fixtures.h"
#include "support/UpdaterWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using driver::Bounds;
using driver::Enabled;
using driver::Text;
using driver::UpdaterProcess;
using driver::UpdaterWindow;
using driver::Utf8FromShiftJis;
using driver::Visible;
using driver::WaitUntil;
using fixtures::FolderOf;
using fixtures::kFirstSoundRow;

const auto& kRows = fixtures::kUpdateFileRows;
constexpr int kRowCount = fixtures::kUpdateFileRowCount;

// The texts the window shows, written out again here so that a slip in the
// program's own texts shows. "\u3000" is an ideographic space.
const std::string kExplanation = driver::Utf8(
    L"以下の場所にインストールされている「ペルセリオナヴィロ（改訂版）」をver.2.6 にアップデートします。");
const std::string kHeadline = driver::Utf8(L"「ペルセリオナヴィロ（改訂版）」を最新版にアップデートします。");
const std::string kNotInstalled = driver::Utf8(L"「ペルセリオナヴィロ（改訂版）」がインストールされていません。");
const std::string kInstallFirst =
    driver::Utf8(L"「ペルセリオナヴィロ（改訂版）」をインストールしてから実行してください。");
const std::string kRun = driver::Utf8(L"実\u3000行");
const std::string kRunning = driver::Utf8(L"実行中");
const std::string kClose = driver::Utf8(L"閉じる");
const std::string kCancel = driver::Utf8(L"キャンセル");
const std::string kCompleted = driver::Utf8(L"完了しました。");
const std::string kInvalidPathType = driver::Utf8(L"'Path' のデータ型が不正です.");
const std::string kFormCaption = driver::Utf8(driver::kFormCaption);
const std::string kApplicationTitle = driver::Utf8(driver::kApplicationTitle);
// The form's font.
const wchar_t kFormFontName[] = L"ＭＳ Ｐゴシック";

std::string NewBytes(int row) { return "new " + std::string(kRows[row].source); }
std::string OldBytes(int row) { return "old " + std::string(kRows[row].destination); }

std::string ThisProgramsFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return FolderOf(path);
}

// Makes a file of that size quickly: the length is set, nothing written.
void MakeLargeFile(const std::string& path, LONG size)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    const bool sized = SetFilePointer(file, size, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                       SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(sized) << path;
}

std::optional<ULONGLONG> FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The updater as shipped, Update.exe beside its Data folder, and the
// product installed in a folder with a Shift-JIS name that its App Paths
// entry names; the default folder is kept away.
struct Layout {
    fixtures::AppPathsEntry appPaths;
    fixtures::DefaultFolder defaultFolder;
    fixtures::ScratchFolder root{"window"};
    const std::string updaterFolder = root / "updater";
    std::string productFolder = root / fixtures::kProductFolderName;

    std::string Exe() const { return updaterFolder + "\\Update.exe"; }
    std::string Source(int row) const { return updaterFolder + "\\Data\\" + kRows[row].source; }
    std::string Destination(int row) const { return productFolder + "\\" + kRows[row].destination; }

    // Update.exe from beside this test program, and every source.
    void LayOutUpdater()
    {
        fixtures::MakeFolders(updaterFolder + "\\Data");
        const std::string built = ThisProgramsFolder() + "\\Update.exe";
        ASSERT_TRUE(CopyFileA(built.c_str(), Exe().c_str(), FALSE)) << "cannot copy " << built;
        for (int row = 0; row < kRowCount; ++row)
            ASSERT_NO_FATAL_FAILURE(fixtures::WriteFile(Source(row), NewBytes(row)));
    }

    // The product with old copies of the files to update, registered.
    void Install(bool withSoundFolder = true)
    {
        fixtures::MakeFolders(productFolder);
        ASSERT_NO_FATAL_FAILURE(fixtures::WriteFile(productFolder + "\\DUVORUVO.exe", "placeholder"));
        for (int row = 0; row < kRowCount; ++row) {
            if (row >= kFirstSoundRow && !withSoundFolder)
                continue;
            fixtures::MakeFolders(FolderOf(Destination(row)));
            ASSERT_NO_FATAL_FAILURE(fixtures::WriteFile(Destination(row), OldBytes(row)));
        }
        ASSERT_NO_FATAL_FAILURE(appPaths.SetPath(productFolder));
    }

    void Uninstall() { DeleteFileA((productFolder + "\\DUVORUVO.exe").c_str()); }
};

// What every destination holds after the run: 'n' the new bytes, 'o' the
// old ones, '-' nothing at all.
void ExpectDestinations(const Layout& layout, const std::string& expected)
{
    for (int row = 0; row < kRowCount; ++row) {
        SCOPED_TRACE(kRows[row].destination);
        const std::optional<std::string> bytes = fixtures::ReadFile(layout.Destination(row));
        switch (expected[row]) {
        case 'n':
            EXPECT_EQ(bytes, NewBytes(row));
            break;
        case 'o':
            EXPECT_EQ(bytes, OldBytes(row));
            break;
        default:
            EXPECT_EQ(bytes, std::nullopt);
        }
    }
}

constexpr char kAllNew[] = "nnnnnnnnnnn";
constexpr char kAllOld[] = "ooooooooooo";

void ExpectReadyState(const UpdaterProcess& updater, const UpdaterWindow& window, const std::string& folder)
{
    EXPECT_EQ(Text(window.Label2), kHeadline);
    EXPECT_EQ(Text(window.Label1), kExplanation);
    EXPECT_EQ(Text(window.PathLabel), Utf8FromShiftJis(folder));
    EXPECT_FALSE(Visible(window.Label3));
    EXPECT_FALSE(Visible(window.ProgressBar1));
    EXPECT_EQ(Text(window.Button1), kRun);
    EXPECT_TRUE(Visible(window.Button1) && Enabled(window.Button1));
    EXPECT_EQ(Text(window.Button2), kCancel);
    EXPECT_TRUE(Visible(window.Button2) && Enabled(window.Button2));
    EXPECT_EQ(updater.Focus(), window.Button1) << "the run button has not got the focus";
}

void ExpectNotInstalledState(const UpdaterProcess& updater, const UpdaterWindow& window)
{
    EXPECT_EQ(Text(window.Label2), kHeadline);
    EXPECT_EQ(Text(window.Label1), kNotInstalled);
    EXPECT_EQ(Text(window.PathLabel), kInstallFirst);
    EXPECT_FALSE(Visible(window.Label3));
    EXPECT_FALSE(Visible(window.ProgressBar1));
    EXPECT_FALSE(Visible(window.Button1));
    EXPECT_EQ(Text(window.Button2), kClose);
    EXPECT_TRUE(Visible(window.Button2) && Enabled(window.Button2));
    EXPECT_EQ(updater.Focus(), window.Button2) << "the close button has not got the focus";
}

bool Finished(const UpdaterWindow& window) { return Text(window.Button1) == kClose; }

// ------------------------------------------------------------ start-up

TEST(UpdaterStartup, ReadyStateShowsFolderAndFocusesRunButton)
{
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
    ASSERT_NO_FATAL_FAILURE(layout.Install());

    UpdaterProcess updater(layout.Exe());
    UpdaterWindow window;
    ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));

    ExpectReadyState(updater, window, layout.productFolder);
    EXPECT_EQ(Text(window.Form), kFormCaption);
    // The taskbar entry is the hidden application window that owns the
    // form, under a title of its own.
    const HWND application = updater.FindTopLevel(driver::kApplicationClass);
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(Text(application), kApplicationTitle);
    EXPECT_EQ(GetWindow(window.Form, GW_OWNER), application);
}

// Either way the product is missing, the window offers only to close.
TEST(UpdaterStartup, NotInstalledStateOffersOnlyClose)
{
    for (const bool folderFound : {false, true}) {
        SCOPED_TRACE(folderFound ? "a folder without the executable" : "no folder found");
        Layout layout;
        ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
        if (folderFound) {
            ASSERT_NO_FATAL_FAILURE(layout.Install());
            layout.Uninstall();
        }

        UpdaterProcess updater(layout.Exe());
        UpdaterWindow window;
        ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));
        ExpectNotInstalledState(updater, window);
    }
}

TEST(UpdaterStartup, WrongPathTypeShowsErrorBoxBeforeWindowThenNotInstalled)
{
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
    ASSERT_NO_FATAL_FAILURE(layout.Install());
    ASSERT_NO_FATAL_FAILURE(layout.appPaths.SetPath(REG_DWORD, std::string("\x01\x00\x00\x00", 4)));

    UpdaterProcess updater(layout.Exe());
    driver::MessageBoxWindow box;
    ASSERT_TRUE(driver::WaitForMessageBox(updater, &box));
    EXPECT_EQ(box.Message, kInvalidPathType);
    EXPECT_EQ(box.Caption, kApplicationTitle);
    const HWND form = updater.FindTopLevel(driver::kFormClass);
    EXPECT_FALSE(Visible(form)) << "the window is shown before the error box is dismissed";
    ASSERT_NE(box.OkButton, nullptr);

    driver::Click(box.OkButton);
    UpdaterWindow window;
    ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));
    ExpectNotInstalledState(updater, window);
}

// Started minimised, the program shows only its taskbar entry; the window
// and the lookup wait until the user restores it.
TEST(UpdaterStartup, MinimisedStartLooksForProductOnlyWhenRestored)
{
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());

    UpdaterProcess updater(layout.Exe(), SW_SHOWMINNOACTIVE);
    UpdaterWindow window;
    ASSERT_TRUE(driver::FindUpdaterWindow(updater, &window));
    ASSERT_TRUE(updater.WaitForInputIdle()) << "the updater never waited for input";
    const HWND application = updater.FindTopLevel(driver::kApplicationClass);
    ASSERT_NE(application, nullptr);
    EXPECT_TRUE(IsIconic(application));
    EXPECT_FALSE(Visible(window.Form));
    EXPECT_EQ(Text(window.PathLabel), "PathLabel");

    // Installed only now: a lookup made at start would have missed it.
    ASSERT_NO_FATAL_FAILURE(layout.Install());
    driver::RestoreFromTaskbar(application);
    ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));
    ExpectReadyState(updater, window, layout.productFolder);
}

// Started maximised, the labels anchored to the right edge widen with the
// client area; buttons, bevel and progress bar keep their places.
TEST(UpdaterStartup, MaximisedStartWidensAnchoredLabelsOnly)
{
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
    ASSERT_NO_FATAL_FAILURE(layout.Install());
    std::map<std::string, std::pair<Bounds, Bounds>> normalAndMaximised;
    for (const std::optional<WORD> show : {std::optional<WORD>(), std::optional<WORD>(SW_SHOWMAXIMIZED)}) {
        UpdaterProcess updater(layout.Exe(), show);
        UpdaterWindow window;
        ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));
        // Visible comes before the window has its maximised size.
        ASSERT_TRUE(updater.WaitForInputIdle());
        EXPECT_EQ(IsZoomed(window.Form) != FALSE, show.has_value());
        const int clientWidth = driver::ClientBounds(window.Form).Width;
        const std::pair<const char*, HWND> controls[] = {
            {"Label1", window.Label1}, {"PathLabel", window.PathLabel}, {"Label3", window.Label3},
            {"Button1", window.Button1}, {"Button2", window.Button2}, {"Bevel1", window.Bevel1},
            {"ProgressBar1", window.ProgressBar1},
        };
        for (const auto& [name, control] : controls) {
            Bounds bounds = driver::BoundsInParent(control);
            // The anchored labels are compared by their distance to the
            // right edge, the rest by their rectangles.
            if (std::string(name).find("Label") != std::string::npos)
                bounds.Width = clientWidth - (bounds.Left + bounds.Width);
            (show ? normalAndMaximised[name].second : normalAndMaximised[name].first) = bounds;
        }
        driver::CloseFromTitleBar(window.Form);
        EXPECT_EQ(updater.WaitForExit(), 0u);
    }
    for (const auto& [name, bounds] : normalAndMaximised)
        EXPECT_EQ(bounds.first, bounds.second) << name;
}

// A folder name is shown as it is, while the texts the program writes keep
// "&" as the accelerator prefix.
TEST(UpdaterStartup, AmpersandInFolderNameIsShownAsItself)
{
    Layout layout;
    layout.productFolder = layout.root / "R&D &&Co";
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
    ASSERT_NO_FATAL_FAILURE(layout.Install());

    UpdaterProcess updater(layout.Exe());
    UpdaterWindow window;
    ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));

    EXPECT_EQ(Text(window.PathLabel), Utf8FromShiftJis(layout.productFolder));
    EXPECT_TRUE(driver::Style(window.PathLabel) & SS_NOPREFIX);
    for (const HWND label : {window.Label1, window.Label2, window.Label3})
        EXPECT_FALSE(driver::Style(label) & SS_NOPREFIX);
}

// --------------------------------------------------------------- layout

// HKCU\Control Panel\Desktop "LogPixels", which Wine reads when a process
// starts; put back as it was (a fresh prefix has none) when done.
class LogPixelsSetting {
public:
    explicit LogPixelsSetting(DWORD dotsPerInch)
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                        nullptr);
        DWORD size = sizeof(previous_);
        hadValue_ = RegQueryValueExA(key_, kName, nullptr, &previousType_, reinterpret_cast<BYTE*>(&previous_),
                                     &size) == ERROR_SUCCESS;
        RegSetValueExA(key_, kName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dotsPerInch), sizeof(dotsPerInch));
    }
    LogPixelsSetting(const LogPixelsSetting&) = delete;
    LogPixelsSetting& operator=(const LogPixelsSetting&) = delete;
    ~LogPixelsSetting()
    {
        if (hadValue_)
            RegSetValueExA(key_, kName, 0, previousType_, reinterpret_cast<const BYTE*>(&previous_), sizeof(previous_));
        else
            RegDeleteValueA(key_, kName);
        RegCloseKey(key_);
    }

private:
    static constexpr char kKey[] = "Control Panel\\Desktop";
    static constexpr char kName[] = "LogPixels";
    HKEY key_ = nullptr;
    bool hadValue_ = false;
    DWORD previousType_ = REG_DWORD;
    DWORD previous_ = 0;
};

// The form's font as the updater makes it at that DPI, measured here.
class FormFont {
public:
    explicit FormFont(int dotsPerInch)
        : font_(CreateFontW(dotsPerInch == 96 ? -12 : MulDiv(-12, dotsPerInch, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                            FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, kFormFontName))
    {
    }
    FormFont(const FormFont&) = delete;
    FormFont& operator=(const FormFont&) = delete;
    ~FormFont() { DeleteObject(font_); }

    // A design length, scaled as the height of "0" is to 12.
    int Scale(int design) const
    {
        SIZE zero{};
        Measure([&](HDC dc) { GetTextExtentPoint32W(dc, L"0", 1, &zero); });
        return MulDiv(design, zero.cy, 12);
    }

    // The size of one line of text.
    SIZE Extent(const std::string& utf8) const
    {
        std::wstring text(utf8.size(), L'\0');
        text.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                                        static_cast<int>(text.size())));
        RECT rect{};
        Measure([&](HDC dc) {
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_SINGLELINE);
        });
        return {rect.right - rect.left, rect.bottom - rect.top};
    }

private:
    void Measure(const std::function<void(HDC)>& measure) const
    {
        const HDC screen = GetDC(nullptr);
        const HGDIOBJ previous = SelectObject(screen, font_);
        measure(screen);
        SelectObject(screen, previous);
        ReleaseDC(nullptr, screen);
    }

    HFONT font_;
};

class UpdaterLayout : public testing::TestWithParam<int> {};

TEST_P(UpdaterLayout, ScalesDesignByTextHeightOfItsFont)
{
    const int dotsPerInch = GetParam();
    LogPixelsSetting setting(dotsPerInch);
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
    ASSERT_NO_FATAL_FAILURE(layout.Install());

    UpdaterProcess updater(layout.Exe());
    UpdaterWindow window;
    ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));

    const FormFont font(dotsPerInch);
    const auto scaled = [&](Bounds design) {
        return Bounds{font.Scale(design.Left), font.Scale(design.Top), font.Scale(design.Width),
                      font.Scale(design.Height)};
    };
    const Bounds client = driver::ClientBounds(window.Form);
    EXPECT_EQ(client, (Bounds{0, 0, font.Scale(451), font.Scale(214)}));

    struct Expected {
        const char* name;
        HWND control;
        Bounds bounds;
    };
    const SIZE headline = font.Extent(kHeadline);
    const Expected expected[] = {
        {"Label1", window.Label1, scaled({8, 54, 408, 25})},
        // Sized to its one line of text.
        {"Label2", window.Label2, {font.Scale(8), font.Scale(16), int(headline.cx), int(headline.cy)}},
        {"PathLabel", window.PathLabel, scaled({8, 96, 435, 33})},
        {"Bevel1", window.Bevel1, scaled({6, 82, 437, 1})},
        {"Label3", window.Label3, scaled({8, 156, 423, 12})},
        {"Button1", window.Button1, scaled({286, 180, 75, 25})},
        {"Button2", window.Button2, scaled({368, 180, 75, 25})},
        {"ProgressBar1", window.ProgressBar1, scaled({8, 136, 433, 17})},
    };
    for (const Expected& control : expected)
        EXPECT_EQ(driver::BoundsInParent(control.control), control.bounds) << control.name;

    // Centred on the whole virtual desktop.
    const Bounds frame = driver::WindowBounds(window.Form);
    EXPECT_EQ(frame.Left, std::max(0, (GetSystemMetrics(SM_CXVIRTUALSCREEN) - frame.Width) / 2));
    EXPECT_EQ(frame.Top, std::max(0, (GetSystemMetrics(SM_CYVIRTUALSCREEN) - frame.Height) / 2));
}

INSTANTIATE_TEST_SUITE_P(Dpi, UpdaterLayout, testing::Values(96, 144),
                         [](const auto& info) { return std::to_string(info.param); });

// ------------------------------------------------------------- closing

struct CloseCase {
    const char* name;
    bool installed;
    std::function<void(const UpdaterProcess&, const UpdaterWindow&)> close;
};

void PrintTo(const CloseCase& c, std::ostream* out) { *out << c.name; }

void Press(UINT key, const UpdaterProcess& updater, const UpdaterWindow& window)
{
    driver::PressKeyInFocus(updater, window, key);
}

const CloseCase kCloseCases[] = {
    {"NotInstalledEsc", false, [](auto& u, auto& w) { Press(VK_ESCAPE, u, w); }},
    {"NotInstalledEnter", false, [](auto& u, auto& w) { Press(VK_RETURN, u, w); }},
    {"NotInstalledCloseButton", false, [](auto&, auto& w) { driver::Click(w.Button2); }},
    {"NotInstalledTitleBar", false, [](auto&, auto& w) { driver::CloseFromTitleBar(w.Form); }},
    {"ReadyEsc", true, [](auto& u, auto& w) { Press(VK_ESCAPE, u, w); }},
    {"ReadyCancelButton", true, [](auto&, auto& w) { driver::Click(w.Button2); }},
    {"ReadyTitleBar", true, [](auto&, auto& w) { driver::CloseFromTitleBar(w.Form); }},
    {"ReadyTabToCancelThenEnter", true,
     [](auto& u, auto& w) {
         Press(VK_TAB, u, w);
         ASSERT_TRUE(WaitUntil([&] { return u.Focus() == w.Button2; })) << "Tab did not reach the cancel button";
         Press(VK_RETURN, u, w);
     }},
};

class UpdaterClosing : public testing::TestWithParam<CloseCase> {};

TEST_P(UpdaterClosing, EndsWithExitCodeZeroAndUpdatesNothing)
{
    const CloseCase& c = GetParam();
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
    ASSERT_NO_FATAL_FAILURE(layout.Install());
    if (!c.installed)
        layout.Uninstall();

    UpdaterProcess updater(layout.Exe());
    UpdaterWindow window;
    ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));
    ASSERT_EQ(Text(window.Button2), c.installed ? kCancel : kClose);
    ASSERT_NO_FATAL_FAILURE(c.close(updater, window));

    EXPECT_EQ(updater.WaitForExit(), 0u);
    ExpectDestinations(layout, kAllOld);
}

INSTANTIATE_TEST_SUITE_P(Ways, UpdaterClosing, testing::ValuesIn(kCloseCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ----------------------------------------------------------------- runs

struct RunCase {
    const char* name;
    bool withSoundFolder;
    std::function<void(Layout&)> arrange;
    const wchar_t* message;
    int position;
    const char* destinations;  // as ExpectDestinations takes them
};

void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }

const RunCase kRunCases[] = {
    {"EveryCopySucceeds", true, [](Layout&) {}, L"完了しました。", 11, kAllNew},
    {"NoSoundFolder", false, [](Layout&) {}, L"11個中5個のファイルがアップデートできませんでした。", 6,
     "nnnnnn-----"},
    {"NoDataFolder", true, [](Layout& l) { fixtures::RemoveTree(l.updaterFolder + "\\Data"); },
     L"11個中11個のファイルがアップデートできませんでした。", 0, kAllOld},
    {"OneSourceMissing", true, [](Layout& l) { DeleteFileA(l.Source(8).c_str()); },
     L"11個中1個のファイルがアップデートできませんでした。", 10, "nnnnnnnnonn"},
};

class UpdaterRun : public testing::TestWithParam<RunCase> {};

// A whole run from the run button to Enter in the finished state.
TEST_P(UpdaterRun, ShowsResultThenEnterCloses)
{
    const RunCase& c = GetParam();
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
    ASSERT_NO_FATAL_FAILURE(layout.Install(c.withSoundFolder));
    c.arrange(layout);

    UpdaterProcess updater(layout.Exe());
    UpdaterWindow window;
    ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));
    driver::Click(window.Button1);
    ASSERT_TRUE(WaitUntil([&] { return Finished(window); })) << "the run did not finish";

    EXPECT_TRUE(Visible(window.Label3));
    EXPECT_EQ(Text(window.Label3), driver::Utf8(c.message));
    EXPECT_TRUE(Visible(window.ProgressBar1));
    EXPECT_EQ(driver::ProgressPosition(window.ProgressBar1), c.position);
    EXPECT_EQ(driver::ProgressMaximum(window.ProgressBar1), 11);
    EXPECT_TRUE(Enabled(window.Button1));
    EXPECT_EQ(Text(window.Button2), kCancel);
    EXPECT_FALSE(Enabled(window.Button2));
    EXPECT_EQ(Text(window.Label1), kExplanation);
    EXPECT_EQ(Text(window.PathLabel), Utf8FromShiftJis(layout.productFolder));
    EXPECT_EQ(updater.Focus(), window.Form) << "the focus should stay on the window itself";

    driver::PressKeyInFocus(updater, window, VK_RETURN);
    EXPECT_EQ(updater.WaitForExit(), 0u);
    ExpectDestinations(layout, c.destinations);
}

INSTANTIATE_TEST_SUITE_P(Cases, UpdaterRun, testing::ValuesIn(kRunCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Enter starts the run from the focused run button; once it is over, Esc
// has no button to press.
TEST(UpdaterFinished, EscDoesNothing)
{
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
    ASSERT_NO_FATAL_FAILURE(layout.Install());

    UpdaterProcess updater(layout.Exe());
    UpdaterWindow window;
    ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));
    driver::PressKeyInFocus(updater, window, VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return Finished(window); })) << "Enter did not run the update";

    driver::PressKeyInFocus(updater, window, VK_ESCAPE);
    // Keys are taken in order: once Tab has moved the focus, Esc is done.
    driver::PressKeyInFocus(updater, window, VK_TAB);
    ASSERT_TRUE(WaitUntil([&] { return updater.Focus() == window.Button1 || !updater.Running(); }))
        << "Tab did not move the focus to the close button";
    EXPECT_TRUE(updater.Running()) << "Esc closed the finished window";
    EXPECT_EQ(Text(window.Label3), kCompleted);

    driver::CloseFromTitleBar(window.Form);
    EXPECT_EQ(updater.WaitForExit(), 0u);
}

// A first file large enough that the run is still going when the test acts.
constexpr LONG kLargeFileSize = 300 * 1024 * 1024;

// Waits until the run is in progress and checks what the window shows then.
testing::AssertionResult WaitForRunning(const UpdaterWindow& window)
{
    // The status label is emptied just before the run starts, so the first
    // file's name may come a moment after the button's new caption.
    const auto showsDestination = [&] {
        const std::string file = Text(window.Label3);
        for (const auto& row : kRows) {
            if (file == row.destination)
                return true;
        }
        return false;
    };
    if (!WaitUntil([&] { return Text(window.Button1) == kRunning && showsDestination(); }))
        return testing::AssertionFailure() << "the run did not start, or was over before a file was seen";
    testing::AssertionResult result = testing::AssertionSuccess();
    const auto expect = [&](bool holds, const char* what) {
        if (!holds)
            result = testing::AssertionFailure() << result.message() << " " << what << ";";
    };
    expect(!Enabled(window.Button1), "the run button is enabled");
    expect(!Enabled(window.Button2), "the cancel button is enabled");
    expect(Text(window.Button2) == kCancel, "the cancel button is renamed");
    expect(Visible(window.ProgressBar1), "the progress bar is hidden");
    expect(Visible(window.Label3), "the status label is hidden");
    return result;
}

// An updater in the middle of its run: the first file is large enough for
// the test to act while the run is in progress.
class UpdaterRunning : public testing::Test {
protected:
    Layout layout;
    std::optional<UpdaterProcess> updater;
    UpdaterWindow window;

    void StartLongRun()
    {
        ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
        ASSERT_NO_FATAL_FAILURE(MakeLargeFile(layout.Source(0), kLargeFileSize));
        ASSERT_NO_FATAL_FAILURE(layout.Install());
        updater.emplace(layout.Exe());
        ASSERT_TRUE(driver::WaitForShownWindow(*updater, &window));
        driver::Click(window.Button1);
        ASSERT_TRUE(WaitForRunning(window));
    }
};

TEST_F(UpdaterRunning, KeysAndClicksHaveNoEffect)
{
    ASSERT_NO_FATAL_FAILURE(StartLongRun());

    driver::PressKeyInFocus(*updater, window, VK_ESCAPE);
    driver::PressKeyInFocus(*updater, window, VK_RETURN);
    driver::Click(window.Button2);
    driver::Click(window.Button1);
    EXPECT_EQ(Text(window.Button1), kRunning) << "the run was over before the test acted";

    ASSERT_TRUE(WaitUntil([&] { return Finished(window) || !updater->Running(); })) << "the run did not finish";
    ASSERT_TRUE(updater->Running()) << "a key or click during the run closed the window";
    EXPECT_EQ(Text(window.Label3), kCompleted);
    EXPECT_EQ(driver::ProgressPosition(window.ProgressBar1), 11);
    EXPECT_EQ(Text(window.Button2), kCancel);
    driver::CloseFromTitleBar(window.Form);
    EXPECT_EQ(updater->WaitForExit(), 0u);
}

// Closing does not cut the run short: every file is still tried, and then
// the program ends.
TEST_F(UpdaterRunning, TitleBarCloseEndsProgramAfterEveryFile)
{
    ASSERT_NO_FATAL_FAILURE(StartLongRun());

    driver::CloseFromTitleBar(window.Form);
    // Answered by the updater after the close was posted: so the close
    // came during the run.
    EXPECT_EQ(Text(window.Button1), kRunning) << "the run was over before the test closed the window";

    EXPECT_EQ(updater->WaitForExit(), 0u);
    EXPECT_EQ(FileSize(layout.Destination(0)), ULONGLONG(kLargeFileSize));
    for (int row = 1; row < kRowCount; ++row)
        EXPECT_EQ(fixtures::ReadFile(layout.Destination(row)), NewBytes(row)) << kRows[row].destination;
}

// --------------------------------------------------- nothing else written

// Every entry under the folder with its size and time of last change,
// except the folders skipped (compared without regard to case).
void List(const std::string& folder, const std::vector<std::string>& skipped, std::map<std::string, std::string>* out)
{
    for (const std::string& skip : skipped) {
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, folder.c_str(), -1, skip.c_str(), -1) == CSTR_EQUAL)
            return;
    }
    fixtures::ForEachEntry(folder, [&](const std::string& path, const WIN32_FIND_DATAA& entry) {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*out)[path] = "folder";
            List(path, skipped, out);
        } else {
            (*out)[path] = std::to_string(entry.nFileSizeLow) + " bytes, changed " +
                           std::to_string(entry.ftLastWriteTime.dwHighDateTime) + ":" +
                           std::to_string(entry.ftLastWriteTime.dwLowDateTime);
        }
    });
}

TEST(UpdaterFiles, NothingWrittenOutsideInstallFolder)
{
    Layout layout;
    ASSERT_NO_FATAL_FAILURE(layout.LayOutUpdater());
    ASSERT_NO_FATAL_FAILURE(layout.Install());
    // The whole drive, the system's folders too: in a prepared prefix
    // nothing else writes to it while the test runs.
    const std::vector<std::string> skipped = {layout.productFolder};
    std::map<std::string, std::string> before;
    List("C:", skipped, &before);

    {
        UpdaterProcess updater(layout.Exe());
        UpdaterWindow window;
        ASSERT_TRUE(driver::WaitForShownWindow(updater, &window));
        driver::Click(window.Button1);
        ASSERT_TRUE(WaitUntil([&] { return Finished(window); })) << "the run did not finish";
        ASSERT_EQ(Text(window.Label3), kCompleted);
        driver::Click(window.Button1);
        ASSERT_EQ(updater.WaitForExit(), 0u);
    }

    std::map<std::string, std::string> after;
    List("C:", skipped, &after);
    for (const auto& [path, state] : after) {
        const auto old = before.find(path);
        EXPECT_TRUE(old != before.end() && old->second == state) << path << ": " << state;
    }
    for (const auto& [path, state] : before)
        EXPECT_TRUE(after.count(path)) << path << " is gone";
}

}  // namespace
