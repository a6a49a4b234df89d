// The updater's own copy run (update::UpdateFiles, built from the same
// sources) with no window: the time it takes, set against the updater
// with its window and against plain CopyFileA, splits the updater's cost
// into what the window adds and what the safe replacement adds.
//
// Same arguments and protocol as the CopyFileA baseline: events ready, go,
// done and quit; the exit code is the number of files copied.
#include "CopyRun.h"

#include <windows.h>

#include <string>

namespace {

class CountingHost : public update::CopyRunHost {
public:
    int Copied = 0;
    void ShowFile(const std::string&) override {}
    void ProcessMessages() override {}
    void CountCopiedFile() override { ++Copied; }
    bool StopRequested() override { return false; }
};

std::string InstallPath()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\DUVORUVO.exe", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof(path) - 1;
    const LONG result = RegQueryValueExA(key, "Path", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? std::string(path) : std::string();
}

HANDLE OpenNamedEvent(const char* name) { return OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name); }

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return -1;
    const HANDLE ready = OpenNamedEvent(argv[1]);
    const HANDLE go = OpenNamedEvent(argv[2]);
    const HANDLE done = OpenNamedEvent(argv[3]);
    const HANDLE quit = OpenNamedEvent(argv[4]);
    const std::string installPath = InstallPath();
    if (!ready || !go || !done || !quit || installPath.empty())
        return -2;

    CountingHost host;
    SetEvent(ready);
    WaitForSingleObject(go, INFINITE);
    update::UpdateFiles(installPath, host);
    SetEvent(done);
    WaitForSingleObject(quit, INFINITE);
    return host.Copied;
}
