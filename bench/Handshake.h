// The protocol between the driver and the baseline programs. Arguments: the
// names of the events ready, go, done and quit. A program works out what it
// needs before "ready", so that the time from "go" to "done" holds the
// copying only; after "done" it waits for "quit", so that its memory can
// still be read. The exit code is the number of files copied.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

inline std::string InstallPath()
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

// prepare(installPath) gives the copy to time, a callable that returns the
// number of files it copied.
template <typename Prepare>
int RunWhenTold(int argc, char** argv, Prepare prepare)
{
    if (argc != 5)
        return -1;
    const auto open = [](const char* name) { return OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name); };
    const HANDLE ready = open(argv[1]);
    const HANDLE go = open(argv[2]);
    const HANDLE done = open(argv[3]);
    const HANDLE quit = open(argv[4]);
    const std::string installPath = InstallPath();
    if (!ready || !go || !done || !quit || installPath.empty())
        return -2;

    auto copy = prepare(installPath);
    SetEvent(ready);
    WaitForSingleObject(go, INFINITE);
    const int copied = copy();
    SetEvent(done);
    WaitForSingleObject(quit, INFINITE);
    return copied;
}

}  // namespace bench
