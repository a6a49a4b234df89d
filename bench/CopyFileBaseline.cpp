// The copy baseline: plain CopyFileA over the updater's eleven files, from
// the Data folder beside this program into the folder the product's App
// Paths entry names, with no temporary file, no flush and no window.
//
// Arguments: the names of three events (ready, go, done) and a fourth
// (quit). The paths are worked out before "ready", so that the time from
// "go" to "done" holds the copying only; after "done" the program waits
// for "quit", so that its memory can still be read.
#include "CopyRun.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

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

std::string OwnFolder()
{
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
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

    const std::string ownFolder = OwnFolder();
    std::vector<std::string> sources;
    std::vector<std::string> destinations;
    for (const update::UpdateFile& file : update::kUpdateFileSet) {
        sources.push_back(ownFolder + file.Source);
        destinations.push_back(installPath + "\\" + file.Destination);
    }

    SetEvent(ready);
    WaitForSingleObject(go, INFINITE);
    int copied = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
        if (CopyFileA(sources[i].c_str(), destinations[i].c_str(), FALSE))
            ++copied;
    }
    SetEvent(done);
    WaitForSingleObject(quit, INFINITE);
    return copied;
}
