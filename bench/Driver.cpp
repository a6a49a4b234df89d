// Times the updater against baselines measured in the same run, under the
// same conditions, interleaved: absolute times on these machines vary too
// much between runs to mean anything, ratios do not.
//
//   bench_driver startup UPDATER MINIMAL RUNS RAW_CSV [VARIANT...]
//       process start (just before CreateProcess) to a usable window, for
//       the updater and for a program that only shows one window of the
//       same size (and for variants of the updater built for a profile).
//   bench_driver copy LABEL UPDATER BASELINE NO_WINDOW RUNS RAW_CSV
//       run button pressed to the finished state, for the updater, for
//       its copy run without a window and for plain CopyFileA over the
//       same eleven files; with the updater's footprint.
//   bench_driver phases LABEL UPDATER RUNS
//       the Win32 calls of the safe replacement, each timed on its own;
//       the same with the flush on a second thread; plain CopyFileA.
//   bench_driver size UPDATER
//
// A summary in Markdown goes to standard output (UTF-8), every sample to
// RAW_CSV. The install folder is the one the product's App Paths entry
// names; the Data folder is the one beside UPDATER (BASELINE and
// NO_WINDOW live there too).
#include "CopyRun.h"

#include <windows.h>
#include <psapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// 実　行
const std::wstring kRunCaption = L"\u5b9f\u3000\u884c";
// 閉じる
const std::wstring kCloseCaption = L"\u9589\u3058\u308b";
// 完了しました。
const std::wstring kCompletedMessage = L"\u5b8c\u4e86\u3057\u307e\u3057\u305f\u3002";

constexpr double kStartupTarget = 1.25;
constexpr double kCopyTarget = 1.15;
constexpr double kExeSizeTarget = 1024.0 * 1024.0;
constexpr double kWorkingSetTarget = 16.0 * 1024.0 * 1024.0;

// Watchdogs only: a program that hangs fails the benchmark instead of
// hanging it.
constexpr double kWindowTimeout = 30.0;
constexpr double kCopyTimeout = 600.0;
constexpr DWORD kExitTimeoutMs = 30000;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

double Now()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length, nullptr,
                        nullptr);
    return result;
}

std::wstring Wide(const std::string& text, UINT codePage)
{
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring InstallPath()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\DUVORUVO.exe",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        Fail("the product's App Paths entry is missing");
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path) - sizeof(wchar_t);
    const LONG result = RegQueryValueExW(key, L"Path", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        Fail("the App Paths entry has no Path value");
    return path;
}

// ------------------------------------------------------------ statistics

struct Summary {
    double Median, Q1, Q3, Min, Max;
    size_t Count;
};

double Quantile(std::vector<double> sorted, double q)
{
    const double position = q * static_cast<double>(sorted.size() - 1);
    const size_t below = static_cast<size_t>(position);
    const size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (position - static_cast<double>(below));
}

Summary Summarise(std::vector<double> samples)
{
    if (samples.empty())
        Fail("no samples");
    std::sort(samples.begin(), samples.end());
    return {Quantile(samples, 0.5), Quantile(samples, 0.25), Quantile(samples, 0.75), samples.front(),
            samples.back(), samples.size()};
}

std::string Format(const char* format, auto... values)
{
    char buffer[512];
    std::snprintf(buffer, sizeof(buffer), format, values...);
    return buffer;
}

std::string Milliseconds(const Summary& s)
{
    return Format("| %.1f | %.1f–%.1f | %.1f–%.1f |", s.Median * 1e3, s.Q1 * 1e3, s.Q3 * 1e3, s.Min * 1e3,
                  s.Max * 1e3);
}

std::string Verdict(bool met) { return met ? "met" : "**missed**"; }

std::string MiB(double bytes) { return Format("%.2f MiB", bytes / (1024.0 * 1024.0)); }

class RawLog {
public:
    explicit RawLog(const std::wstring& path) : file_(_wfopen(path.c_str(), L"ab"))
    {
        if (!file_)
            Fail("cannot open the raw log " + Utf8(path));
    }
    ~RawLog() { std::fclose(file_); }
    void Write(const std::string& line)
    {
        std::fputs(line.c_str(), file_);
        std::fputc('\n', file_);
        std::fflush(file_);
    }

private:
    FILE* file_;
};

// ------------------------------------------------------------- processes

class Child {
public:
    // Start time: taken just before CreateProcess.
    Child(const std::wstring& exe, const std::wstring& arguments, double& startTime)
    {
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!arguments.empty())
            commandLine += L" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        const std::wstring folder = FolderOf(exe);
        startTime = Now();
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                            &startup, &info_))
            Fail("cannot start " + Utf8(exe) + Format(" (error %lu)", GetLastError()));
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (Running()) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, kExitTimeoutMs);
        }
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }

    HANDLE Process() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }
    bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

    DWORD WaitForExit(const char* what)
    {
        if (WaitForSingleObject(info_.hProcess, kExitTimeoutMs) != WAIT_OBJECT_0)
            Fail(std::string(what) + ": did not end");
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_{};
};

// Polls every millisecond or so until the condition holds; gives the time
// at which it was seen to hold. The same loop waits for the updater and
// for the baselines, so its granularity costs both alike.
double PollUntil(const Child& child, double timeout, const std::string& what, const std::function<bool()>& done,
                 const std::function<std::string()>& describe = {})
{
    const double start = Now();
    for (;;) {
        if (done())
            return Now();
        const bool ended = !child.Running();
        if (ended && done())
            return Now();
        if (ended || Now() - start > timeout)
            Fail(what + (ended ? ": the program ended first" : ": timed out") +
                 (describe ? "; seen: " + describe() : std::string()));
        Sleep(1);
    }
}

struct Footprint {
    double PeakWorkingSet = 0;
    double PeakPrivateBytes = 0;
    std::vector<std::wstring> Modules;
};

Footprint MeasureFootprint(HANDLE process)
{
    Footprint footprint;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, &counters, sizeof(counters)))
        Fail(Format("GetProcessMemoryInfo failed (error %lu)", GetLastError()));
    footprint.PeakWorkingSet = static_cast<double>(counters.PeakWorkingSetSize);
    footprint.PeakPrivateBytes = static_cast<double>(counters.PeakPagefileUsage);

    std::vector<HMODULE> modules(1024);
    DWORD needed = 0;
    // Refused when the program runs under a debugger or tracer (the
    // profile script): then the list stays empty.
    if (!EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed))
        return footprint;
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (HMODULE module : modules) {
        wchar_t name[MAX_PATH] = {};
        GetModuleBaseNameW(process, module, name, MAX_PATH);
        footprint.Modules.push_back(name);
    }
    return footprint;
}

std::string ModuleList(const Footprint& footprint)
{
    std::string list;
    for (const std::wstring& name : footprint.Modules)
        list += (list.empty() ? "" : ", ") + Utf8(name);
    return list;
}

// --------------------------------------------------------------- windows

HWND TopLevelWindow(const wchar_t* windowClass, DWORD processId)
{
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, windowClass, nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// Read from the window manager's copy of the text: no message is sent, so
// a window busy copying is neither disturbed nor waited for.
std::wstring Text(HWND window)
{
    wchar_t text[1024] = {};
    const int length = GetWindowTextW(window, text, 1024);
    return std::wstring(text, static_cast<size_t>(std::max(length, 0)));
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// The updater's window; its children in creation order are Label1, Label2,
// PathLabel, Bevel1, Label3, Button1, Button2, ProgressBar1.
struct UpdaterWindow {
    HWND Form, PathLabel, Label3, Button1;
};

std::optional<UpdaterWindow> FindUpdaterWindow(DWORD processId)
{
    const HWND form = TopLevelWindow(L"TForm1", processId);
    if (!form)
        return std::nullopt;
    const std::vector<HWND> children = Children(form);
    if (children.size() != 8)
        return std::nullopt;
    return UpdaterWindow{form, children[2], children[4], children[5]};
}

std::string DescribeUpdaterWindow(DWORD processId)
{
    const HWND form = TopLevelWindow(L"TForm1", processId);
    if (!form)
        return "no TForm1 window";
    std::string seen = IsWindowVisible(form) ? "visible TForm1:" : "hidden TForm1:";
    for (HWND child : Children(form)) {
        wchar_t windowClass[64] = {};
        GetClassNameW(child, windowClass, 64);
        seen += " [" + Utf8(windowClass) + " \"" + Utf8(Text(child)) + "\"" + (IsWindowVisible(child) ? "" : " hidden") +
                (IsWindowEnabled(child) ? "" : " disabled") + (FocusOf(form) == child ? " focused" : "") + "]";
    }
    return seen;
}

// Ready: shown, the install folder in PathLabel, the run button enabled
// and focused, so that Enter would start the run. Until the form is visible
// the poll costs what the minimal window's poll costs (find the window, ask
// whether it is visible): the poll's own requests to the wineserver slow
// the program polled, so they must not weigh more on one side.
bool UpdaterReady(DWORD processId, const std::wstring& installPath, UpdaterWindow& found)
{
    const HWND form = TopLevelWindow(L"TForm1", processId);
    if (!form || !IsWindowVisible(form))
        return false;
    const std::optional<UpdaterWindow> window = FindUpdaterWindow(processId);
    if (!window || !IsWindowVisible(window->Button1) || !IsWindowEnabled(window->Button1) ||
        Text(window->Button1) != kRunCaption || Text(window->PathLabel) != installPath ||
        FocusOf(window->Form) != window->Button1)
        return false;
    found = *window;
    return true;
}

// ---------------------------------------------------------------- start-up

struct StartupSample {
    double Shown;   // the window seen in its ready state
    double Usable;  // and the program waiting for input
    HWND Window;
    Footprint Memory;
};

void WaitForInput(const Child& child, const char* what)
{
    if (WaitForInputIdle(child.Process(), static_cast<DWORD>(kWindowTimeout * 1000)) != 0)
        Fail(std::string(what) + ": never waited for input");
}

StartupSample StartUpdater(const std::wstring& exe, const std::wstring& installPath, RECT* frame = nullptr)
{
    double start = 0;
    Child child(exe, L"", start);
    UpdaterWindow window{};
    const double shown =
        PollUntil(child, kWindowTimeout, "updater window", [&] { return UpdaterReady(child.Id(), installPath, window); },
                  [&] { return DescribeUpdaterWindow(child.Id()); });
    WaitForInput(child, "updater");
    const double usable = Now();
    if (frame)
        GetWindowRect(window.Form, frame);
    StartupSample sample{shown - start, usable - start, window.Form, MeasureFootprint(child.Process())};
    PostMessageW(window.Form, WM_CLOSE, 0, 0);
    if (const DWORD code = child.WaitForExit("updater"); code != 0)
        Fail(Format("the updater ended with %lu", code));
    return sample;
}

StartupSample StartMinimal(const std::wstring& exe, const RECT& frame)
{
    double start = 0;
    Child child(exe, Wide(Format("%ld %ld", frame.right - frame.left, frame.bottom - frame.top), CP_ACP), start);
    HWND window = nullptr;
    const double shown = PollUntil(child, kWindowTimeout, "minimal window", [&] {
        window = TopLevelWindow(L"BenchMinimalWindow", child.Id());
        return window && IsWindowVisible(window) && FocusOf(window) == window;
    });
    WaitForInput(child, "minimal window");
    const double usable = Now();
    StartupSample sample{shown - start, usable - start, window, MeasureFootprint(child.Process())};
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (const DWORD code = child.WaitForExit("minimal window"); code != 0)
        Fail(Format("the minimal window ended with %lu", code));
    return sample;
}

// One program of the start-up comparison: the updater, the minimal window,
// or a variant of the updater built for a profile.
struct StartupContender {
    std::string Name;
    std::function<StartupSample()> Start;
    std::vector<double> Shown, Usable;
    Footprint Memory;
};

int StartupBenchmark(const std::wstring& updater, const std::wstring& minimal, int runs, RawLog& raw,
                     const std::vector<std::wstring>& variants)
{
    const std::wstring installPath = InstallPath();
    // Warm-up: loads the programs and Wine's DLLs into the file cache, and
    // gives the updater's window size to the baseline.
    RECT frame{};
    StartUpdater(updater, installPath, &frame);

    std::vector<StartupContender> contenders;
    contenders.push_back({"Update.exe", [&] { return StartUpdater(updater, installPath); }, {}, {}, {}});
    contenders.push_back({"minimal window", [&] { return StartMinimal(minimal, frame); }, {}, {}, {}});
    for (const std::wstring& variant : variants)
        contenders.push_back({"variant " + Utf8(FolderOf(variant).substr(FolderOf(variant).find_last_of(L'\\') + 1)),
                              [&, variant] { return StartUpdater(variant, installPath); }, {}, {}, {}});
    for (StartupContender& contender : contenders)
        contender.Start();

    std::vector<double> pairRatios;
    const size_t count = contenders.size();
    for (int run = 0; run < runs; ++run) {
        // The order turns and reverses from run to run, so that no program
        // always runs right after the same one.
        std::vector<double> usable(count);
        for (size_t step = 0; step < count; ++step) {
            const size_t turned = (step + static_cast<size_t>(run / 2)) % count;
            const size_t index = run % 2 == 0 ? turned : count - 1 - turned;
            StartupContender& contender = contenders[index];
            const StartupSample sample = contender.Start();
            contender.Shown.push_back(sample.Shown);
            contender.Usable.push_back(sample.Usable);
            contender.Memory = sample.Memory;
            usable[index] = sample.Usable;
            raw.Write(Format("startup,%s,%d,%.6f,%.6f,%.0f,%zu", contender.Name.c_str(), run, sample.Shown,
                             sample.Usable, sample.Memory.PeakWorkingSet, sample.Memory.Modules.size()));
        }
        pairRatios.push_back(usable[0] / usable[1]);
    }

    const Summary uu = Summarise(contenders[0].Usable), mu = Summarise(contenders[1].Usable);
    const Summary us = Summarise(contenders[0].Shown), ms = Summarise(contenders[1].Shown);
    const Summary pr = Summarise(pairRatios);
    const double ratio = uu.Median / mu.Median;
    std::printf("## Start-up to a usable window (%d runs each, interleaved, after one warm-up each)\n\n", runs);
    std::printf("Window size: %ld x %ld (outer). \"Ready\": the window visible in its ready state (install folder "
                "shown, run button enabled and focused); \"idle\": and WaitForInputIdle has returned.\n\n",
                frame.right - frame.left, frame.bottom - frame.top);
    std::printf("| program | moment | median ms | IQR ms | min–max ms |\n|---|---|---|---|---|\n");
    for (const StartupContender& contender : contenders) {
        const bool minimalWindow = &contender == &contenders[1];
        std::printf("| %s | %s %s\n", contender.Name.c_str(), minimalWindow ? "shown" : "ready",
                    Milliseconds(Summarise(contender.Shown)).c_str());
        std::printf("| %s | %s and idle %s\n", contender.Name.c_str(), minimalWindow ? "shown" : "ready",
                    Milliseconds(Summarise(contender.Usable)).c_str());
    }
    std::printf("\nRatio of medians, Update.exe / minimal window (idle): **%.3fx** (target ≤ %.2fx: %s); "
                "window shown only: %.3fx; of the minima: %.3fx.\n",
                ratio, kStartupTarget, Verdict(ratio <= kStartupTarget).c_str(), us.Median / ms.Median,
                uu.Min / mu.Min);
    std::printf("Per-run ratios: median %.3fx, IQR %.3f–%.3f, min–max %.3f–%.3f.\n", pr.Median, pr.Q1, pr.Q3, pr.Min,
                pr.Max);
    for (size_t index = 2; index < count; ++index)
        std::printf("%s / minimal window (idle, medians): %.3fx.\n", contenders[index].Name.c_str(),
                    Summarise(contenders[index].Usable).Median / mu.Median);
    std::printf("\nAt the ready window: Update.exe peak working set %s, %zu modules; minimal window %s, %zu "
                "modules.\n\n",
                MiB(contenders[0].Memory.PeakWorkingSet).c_str(), contenders[0].Memory.Modules.size(),
                MiB(contenders[1].Memory.PeakWorkingSet).c_str(), contenders[1].Memory.Modules.size());
    std::printf("Modules of Update.exe at the ready window: %s.\n\n", ModuleList(contenders[0].Memory).c_str());
    std::printf("Modules of the minimal window: %s.\n\n", ModuleList(contenders[1].Memory).c_str());
    return 0;
}

// ------------------------------------------------------------------ copy

struct FilePair {
    std::wstring Source, Destination;
};

std::vector<FilePair> FilePairs(const std::wstring& updater, const std::wstring& installPath)
{
    std::vector<FilePair> pairs;
    const std::wstring folder = FolderOf(updater) + L"\\";
    for (const update::UpdateFile& file : update::kUpdateFileSet)
        pairs.push_back({folder + Wide(file.Source, CP_ACP), installPath + L"\\" + Wide(file.Destination, CP_ACP)});
    return pairs;
}

class File {
public:
    File(const std::wstring& path, DWORD access)
        : handle_(CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            Fail("cannot open " + Utf8(path) + Format(" (error %lu)", GetLastError()));
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { CloseHandle(handle_); }
    HANDLE Get() const { return handle_; }
    long long Size() const
    {
        LARGE_INTEGER size{};
        GetFileSizeEx(handle_, &size);
        return size.QuadPart;
    }
    std::string Head(DWORD bytes) const
    {
        std::string head(bytes, '\0');
        DWORD read = 0;
        SetFilePointer(handle_, 0, nullptr, FILE_BEGIN);
        ReadFile(handle_, head.data(), bytes, &read, nullptr);
        head.resize(read);
        return head;
    }

private:
    HANDLE handle_;
};

long long TotalBytes(const std::vector<FilePair>& pairs)
{
    long long total = 0;
    for (const FilePair& pair : pairs)
        total += File(pair.Source, GENERIC_READ).Size();
    return total;
}

// Before every run: each destination gets a mark over its first bytes, so
// that a run that copies nothing cannot pass, and is flushed, so that no
// run pays for the write-back of the one before it.
void MarkAndSettle(const std::vector<FilePair>& pairs, int run)
{
    const std::string mark = Format("old bytes before run %d of the benchmark", run);
    for (const FilePair& pair : pairs) {
        File file(pair.Destination, GENERIC_READ | GENERIC_WRITE);
        DWORD written = 0;
        if (!WriteFile(file.Get(), mark.data(), static_cast<DWORD>(mark.size()), &written, nullptr) ||
            !FlushFileBuffers(file.Get()))
            Fail("cannot mark " + Utf8(pair.Destination));
    }
}

// After every run: each destination has its source's size and first bytes,
// and no temporary file is left beside it.
void CheckCopied(const std::vector<FilePair>& pairs, const char* who)
{
    for (const FilePair& pair : pairs) {
        const File source(pair.Source, GENERIC_READ);
        const File destination(pair.Destination, GENERIC_READ);
        if (source.Size() != destination.Size() || source.Head(65536) != destination.Head(65536))
            Fail(std::string(who) + " left " + Utf8(pair.Destination) + " unlike its source");
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW((FolderOf(pair.Destination) + L"\\*.tmp").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
            Fail(std::string(who) + " left a temporary file " + Utf8(found.cFileName));
        }
    }
}

struct CopySample {
    double Seconds;
    Footprint Memory;
};

CopySample CopyWithUpdater(const std::wstring& exe, const std::wstring& installPath)
{
    double started = 0;
    Child child(exe, L"", started);
    UpdaterWindow window{};
    PollUntil(child, kWindowTimeout, "updater window", [&] { return UpdaterReady(child.Id(), installPath, window); },
              [&] { return DescribeUpdaterWindow(child.Id()); });
    WaitForInput(child, "updater");

    const double start = Now();
    PostMessageW(window.Button1, BM_CLICK, 0, 0);
    const double end = PollUntil(child, kCopyTimeout, "copy run", [&] { return Text(window.Button1) == kCloseCaption; },
                                 [&] { return DescribeUpdaterWindow(child.Id()); });
    if (Text(window.Label3) != kCompletedMessage)
        Fail("the updater reports: " + Utf8(Text(window.Label3)));
    CopySample sample{end - start, MeasureFootprint(child.Process())};
    PostMessageW(window.Form, WM_CLOSE, 0, 0);
    if (const DWORD code = child.WaitForExit("updater"); code != 0)
        Fail(Format("the updater ended with %lu", code));
    return sample;
}

class Event {
public:
    explicit Event(const std::string& name) : name_(name), handle_(CreateEventA(nullptr, TRUE, FALSE, name.c_str()))
    {
        if (!handle_)
            Fail("cannot create the event " + name);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    ~Event() { CloseHandle(handle_); }
    HANDLE Get() const { return handle_; }
    const std::string& Name() const { return name_; }
    bool IsSet() const { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

private:
    std::string name_;
    HANDLE handle_;
};

CopySample CopyWithBaseline(const std::wstring& exe, int run)
{
    const std::string prefix = Format("updater-bench-%lu-%d-", GetCurrentProcessId(), run);
    const Event ready(prefix + "ready"), go(prefix + "go"), done(prefix + "done"), quit(prefix + "quit");
    double started = 0;
    Child child(exe, Wide(ready.Name() + " " + go.Name() + " " + done.Name() + " " + quit.Name(), CP_ACP), started);
    PollUntil(child, kWindowTimeout, "baseline start", [&] { return ready.IsSet(); });

    const double start = Now();
    SetEvent(go.Get());
    const double end = PollUntil(child, kCopyTimeout, "baseline copy", [&] { return done.IsSet(); });
    CopySample sample{end - start, MeasureFootprint(child.Process())};
    SetEvent(quit.Get());
    const DWORD copied = child.WaitForExit("baseline");
    if (copied != update::kUpdateFileSet.size())
        Fail(Format("the baseline copied %ld files", static_cast<long>(copied)));
    return sample;
}

// One program of the copy comparison.
struct CopyContender {
    const char* Name;
    std::function<CopySample(int run)> Run;
    std::vector<double> Times;
    Footprint Memory;
};

int CopyBenchmark(const std::string& label, const std::wstring& updater, const std::wstring& baseline,
                  const std::wstring& noWindow, int runs, RawLog& raw)
{
    const std::wstring installPath = InstallPath();
    const std::vector<FilePair> pairs = FilePairs(updater, installPath);
    const double bytes = static_cast<double>(TotalBytes(pairs));

    std::vector<CopyContender> contenders{
        {"updater", [&](int) { return CopyWithUpdater(updater, installPath); }, {}, {}},
        {"no-window", [&](int run) { return CopyWithBaseline(noWindow, run); }, {}, {}},
        {"baseline", [&](int run) { return CopyWithBaseline(baseline, run); }, {}, {}},
    };
    const auto runOnce = [&](CopyContender& contender, int run) {
        MarkAndSettle(pairs, run);
        CopySample sample = contender.Run(run);
        CheckCopied(pairs, contender.Name);
        return sample;
    };

    // Warm-up, once each: brings the sources into the file cache and gives
    // every destination its full size, as an installed product has.
    for (CopyContender& contender : contenders)
        runOnce(contender, -1);

    std::vector<double> peaks, privates, pairRatios;
    for (int run = 0; run < runs; ++run) {
        // Every order of the three in turn, so that none always follows
        // the same one.
        static constexpr int kOrders[6][3] = {{0, 1, 2}, {2, 1, 0}, {1, 2, 0}, {0, 2, 1}, {2, 0, 1}, {1, 0, 2}};
        double seconds[3] = {};
        for (int index : kOrders[run % 6]) {
            CopyContender& contender = contenders[static_cast<size_t>(index)];
            const CopySample sample = runOnce(contender, run);
            seconds[index] = sample.Seconds;
            contender.Times.push_back(sample.Seconds);
            contender.Memory = sample.Memory;
            raw.Write(Format("copy-%s,%s,%d,%.6f,%.0f,%.0f,%zu", label.c_str(), contender.Name, run, sample.Seconds,
                             sample.Memory.PeakWorkingSet, sample.Memory.PeakPrivateBytes,
                             sample.Memory.Modules.size()));
            if (index == 0) {
                peaks.push_back(sample.Memory.PeakWorkingSet);
                privates.push_back(sample.Memory.PeakPrivateBytes);
            }
        }
        pairRatios.push_back(seconds[0] / seconds[2]);
    }

    const Summary us = Summarise(contenders[0].Times), ns = Summarise(contenders[1].Times);
    const Summary bs = Summarise(contenders[2].Times), pr = Summarise(pairRatios), peak = Summarise(peaks);
    const double ratio = us.Median / bs.Median;
    std::printf("## Copy run, %s set: %.1f MB in 11 files (%d runs each, interleaved, after one warm-up each)\n\n",
                label.c_str(), bytes / 1e6, runs);
    std::printf("| program | median ms | IQR ms | min–max ms | median MB/s |\n|---|---|---|---|---|\n");
    std::printf("| Update.exe, run button to \"閉じる\" %s %.0f |\n", Milliseconds(us).c_str(), bytes / us.Median / 1e6);
    std::printf("| the same copy run without a window %s %.0f |\n", Milliseconds(ns).c_str(), bytes / ns.Median / 1e6);
    std::printf("| CopyFileA loop (baseline) %s %.0f |\n\n", Milliseconds(bs).c_str(), bytes / bs.Median / 1e6);
    std::printf("Ratio of medians, Update.exe / CopyFileA: **%.3fx** (target ≤ %.2fx: %s).\n", ratio, kCopyTarget,
                Verdict(ratio <= kCopyTarget).c_str());
    std::printf("Per-run ratios: median %.3fx, IQR %.3f–%.3f, min–max %.3f–%.3f.\n", pr.Median, pr.Q1, pr.Q3, pr.Min,
                pr.Max);
    std::printf("Split of the difference (medians): the window adds %.1f ms (%.1f ms a file), the safe replacement "
                "adds %.1f ms (%.2f ms per MB).\n\n",
                (us.Median - ns.Median) * 1e3, (us.Median - ns.Median) * 1e3 / 11, (ns.Median - bs.Median) * 1e3,
                (ns.Median - bs.Median) * 1e3 / (bytes / 1e6));
    std::printf("Update.exe at the finished window: peak working set median %s, max %s (target < %s: %s); "
                "peak private bytes max %s; %zu modules.\n",
                MiB(peak.Median).c_str(), MiB(peak.Max).c_str(), MiB(kWorkingSetTarget).c_str(),
                Verdict(peak.Max < kWorkingSetTarget).c_str(), MiB(Summarise(privates).Max).c_str(),
                contenders[0].Memory.Modules.size());
    std::printf("After their loops: the copy run without a window %s peak working set, %zu modules; the CopyFileA "
                "baseline %s, %zu modules.\n\n",
                MiB(contenders[1].Memory.PeakWorkingSet).c_str(), contenders[1].Memory.Modules.size(),
                MiB(contenders[2].Memory.PeakWorkingSet).c_str(), contenders[2].Memory.Modules.size());
    std::printf("Modules of Update.exe at the finished window: %s.\n\n", ModuleList(contenders[0].Memory).c_str());
    return 0;
}

// ---------------------------------------------------------------- phases

std::string Ansi(const std::wstring& text)
{
    const int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(std::max(length, 1)), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, result.data(), length, nullptr, nullptr);
    result.resize(std::strlen(result.c_str()));
    return result;
}

// The Win32 calls of one safe replacement, in the updater's order, each
// timed on its own; and plain CopyFileA onto the destination, for scale.
enum Phase { kReadOnlyCheck, kTempName, kCopy, kAttributes, kOpen, kFlush, kClose, kReplace, kPhaseCount };
constexpr const char* kPhaseNames[kPhaseCount] = {
    "GetFileAttributesA (read-only check)", "GetTempFileNameA", "CopyFileA to the temporary file",
    "Get/SetFileAttributesA",              "CreateFileA for the flush", "FlushFileBuffers",
    "CloseHandle",                          "MoveFileExA over the destination",
};

// Copies each file to its temporary file on this thread and hands it to a
// second thread, which flushes it and moves it over its destination; gives
// the time until the last file is in place.
double PipelinedReplacement(const std::vector<FilePair>& pairs)
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<std::string, std::string>> queue;
    bool finished = false;
    std::atomic<bool> failed = false;
    const double start = Now();
    std::thread flusher([&] {
        for (;;) {
            std::pair<std::string, std::string> item;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return finished || !queue.empty(); });
                if (queue.empty())
                    return;
                item = std::move(queue.front());
                queue.pop_front();
            }
            const HANDLE file = CreateFileA(item.first.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
            const bool flushed = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
            if (file != INVALID_HANDLE_VALUE)
                CloseHandle(file);
            if (!flushed || !MoveFileExA(item.first.c_str(), item.second.c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                failed = true;
        }
    });
    for (const FilePair& pair : pairs) {
        const std::string source = Ansi(pair.Source), destination = Ansi(pair.Destination);
        const std::string folder = destination.substr(0, destination.find_last_of('\\') + 1);
        GetFileAttributesA(destination.c_str());
        char temporary[MAX_PATH];
        if (!GetTempFileNameA(folder.c_str(), "upd", 0, temporary) || !CopyFileA(source.c_str(), temporary, FALSE)) {
            failed = true;
            break;
        }
        const DWORD attributes = GetFileAttributesA(temporary) & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA(temporary, attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
        std::lock_guard lock(mutex);
        queue.emplace_back(temporary, destination);
        changed.notify_one();
    }
    {
        std::lock_guard lock(mutex);
        finished = true;
        changed.notify_one();
    }
    flusher.join();
    if (failed)
        Fail("the pipelined replacement failed");
    return Now() - start;
}

int PhaseBenchmark(const std::string& label, const std::wstring& updater, int runs)
{
    const std::wstring installPath = InstallPath();
    const std::vector<FilePair> pairs = FilePairs(updater, installPath);
    std::vector<double> totals[kPhaseCount];
    std::vector<double> plainTotals, replaceTotals, pipelinedTotals;

    for (int run = -1; run < runs; ++run) {
        double phase[kPhaseCount] = {};
        MarkAndSettle(pairs, run);
        for (const FilePair& pair : pairs) {
            const std::string source = Ansi(pair.Source), destination = Ansi(pair.Destination);
            const std::string folder = destination.substr(0, destination.find_last_of('\\') + 1);
            double t = Now();
            const auto lap = [&](Phase p) {
                const double now = Now();
                phase[p] += now - t;
                t = now;
            };
            GetFileAttributesA(destination.c_str());
            lap(kReadOnlyCheck);
            char temporary[MAX_PATH];
            if (!GetTempFileNameA(folder.c_str(), "upd", 0, temporary))
                Fail("GetTempFileNameA failed");
            lap(kTempName);
            if (!CopyFileA(source.c_str(), temporary, FALSE))
                Fail("CopyFileA failed");
            lap(kCopy);
            const DWORD attributes = GetFileAttributesA(temporary);
            SetFileAttributesA(temporary, (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY))
                                              ? attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)
                                              : FILE_ATTRIBUTE_NORMAL);
            lap(kAttributes);
            const HANDLE file =
                CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            lap(kOpen);
            if (file == INVALID_HANDLE_VALUE || !FlushFileBuffers(file))
                Fail("FlushFileBuffers failed");
            lap(kFlush);
            CloseHandle(file);
            lap(kClose);
            if (!MoveFileExA(temporary, destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                Fail("MoveFileExA failed");
            lap(kReplace);
        }
        CheckCopied(pairs, "the replacement phases");

        // The same calls, with the flush and the replacement of one file on
        // a second thread while the next file is copied.
        MarkAndSettle(pairs, run);
        const double pipelined = PipelinedReplacement(pairs);
        CheckCopied(pairs, "the pipelined replacement");

        MarkAndSettle(pairs, run);
        const double plainStart = Now();
        for (const FilePair& pair : pairs) {
            if (!CopyFileA(Ansi(pair.Source).c_str(), Ansi(pair.Destination).c_str(), FALSE))
                Fail("CopyFileA failed");
        }
        const double plain = Now() - plainStart;
        CheckCopied(pairs, "plain CopyFileA");
        if (run < 0)
            continue;  // the warm-up
        double total = 0;
        for (int p = 0; p < kPhaseCount; ++p) {
            totals[p].push_back(phase[p]);
            total += phase[p];
        }
        replaceTotals.push_back(total);
        plainTotals.push_back(plain);
        pipelinedTotals.push_back(pipelined);
    }

    std::printf("### Where the safe replacement's time goes, %s set (in the driver, no window; %d runs)\n\n",
                label.c_str(), runs);
    std::printf("| Win32 call, summed over the 11 files | median ms | IQR ms | min–max ms |\n|---|---|---|---|\n");
    for (int p = 0; p < kPhaseCount; ++p)
        std::printf("| %s %s\n", kPhaseNames[p], Milliseconds(Summarise(totals[p])).c_str());
    std::printf("| **all of the safe replacement** %s\n", Milliseconds(Summarise(replaceTotals)).c_str());
    std::printf("| the same, flush and replace on a second thread while the next file is copied %s\n",
                Milliseconds(Summarise(pipelinedTotals)).c_str());
    std::printf("| plain CopyFileA onto the destinations %s\n\n", Milliseconds(Summarise(plainTotals)).c_str());
    std::printf("Pipelined / plain CopyFileA (medians): %.3fx; in turn / plain: %.3fx.\n\n",
                Summarise(pipelinedTotals).Median / Summarise(plainTotals).Median,
                Summarise(replaceTotals).Median / Summarise(plainTotals).Median);
    return 0;
}

int ExeSize(const std::wstring& exe)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(exe.c_str(), GetFileExInfoStandard, &data))
        Fail("cannot read " + Utf8(exe));
    const double size = static_cast<double>(data.nFileSizeLow) + static_cast<double>(data.nFileSizeHigh) * 4294967296.0;
    std::printf("Update.exe: %.0f bytes (%s; target < 1 MiB: %s).\n\n", size, MiB(size).c_str(),
                Verdict(size < kExeSizeTarget).c_str());
    return 0;
}

int Usage()
{
    std::fprintf(stderr, "usage: bench_driver startup UPDATER MINIMAL RUNS RAW_CSV [VARIANT...]\n"
                         "       bench_driver copy LABEL UPDATER BASELINE NO_WINDOW RUNS RAW_CSV\n"
                         "       bench_driver phases LABEL UPDATER RUNS\n"
                         "       bench_driver size UPDATER\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Plain "\n" line ends: the output is read on the Linux side.
    _setmode(_fileno(stdout), _O_BINARY);
    try {
        const std::wstring mode = argc > 1 ? argv[1] : L"";
        if (mode == L"startup" && argc >= 6) {
            RawLog raw(argv[5]);
            return StartupBenchmark(argv[2], argv[3], std::max(1, _wtoi(argv[4])), raw,
                                    std::vector<std::wstring>(argv + 6, argv + argc));
        }
        if (mode == L"copy" && argc == 8) {
            RawLog raw(argv[7]);
            return CopyBenchmark(Utf8(argv[2]), argv[3], argv[4], argv[5], std::max(1, _wtoi(argv[6])), raw);
        }
        if (mode == L"phases" && argc == 5)
            return PhaseBenchmark(Utf8(argv[2]), argv[3], std::max(1, _wtoi(argv[4])));
        if (mode == L"size" && argc == 3)
            return ExeSize(argv[2]);
        return Usage();
    } catch (const std::exception& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "bench_driver: %s\n", error.what());
        return 1;
    }
}
