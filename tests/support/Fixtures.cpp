#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

namespace fixtures {

namespace {

constexpr char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\DUVORUVO.exe";
constexpr char kScratchRoot[] = "C:\\updater-tests";
constexpr char kMakerFolder[] = "C:\\Program Files\\MIRADEN";

}  // namespace

const char kProductFolderName[] = "\x83y\x83\x8b\x83Z\x83\x8a\x83I\x83i\x83\x94\x83" "B\x83\x8d\x81i\x89\xfc\x92\xf9\x94\xc5\x81j";

std::string DefaultInstallFolder() { return std::string(kMakerFolder) + "\\" + kProductFolderName; }

void ForEachEntry(const std::string& folder,
                  const std::function<void(const std::string& path, const WIN32_FIND_DATAA& entry)>& visit)
{
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..")
            visit(folder + "\\" + name, entry);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

void RemoveTree(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    ForEachEntry(path, [](const std::string& entryPath, const WIN32_FIND_DATAA&) { RemoveTree(entryPath); });
    RemoveDirectoryA(path.c_str());
}

void MakeFolders(const std::string& path)
{
    // Walk the separators one by one; a 0x5C trail byte is not one.
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(path[i]))) {
            ++i;
            continue;
        }
        if (path[i] == '\\' && i > 2)
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
    CreateDirectoryA(path.c_str(), nullptr);
}

std::string FolderOf(const std::string& path)
{
    // A 0x5C trail byte is not a separator.
    size_t end = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(path[i])))
            ++i;
        else if (path[i] == '\\')
            end = i;
    }
    return path.substr(0, end);
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << path;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == bytes.size()) << "cannot write " << path;
}

std::optional<std::string> ReadFile(const std::string& path)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    std::vector<char> buffer(1 << 16);
    DWORD read = 0;
    while (::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0)
        bytes.append(buffer.data(), read);
    CloseHandle(file);
    return bytes;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

ScratchFolder::ScratchFolder(const std::string& name) : path_(std::string(kScratchRoot) + "\\" + name)
{
    RemoveTree(path_);
    MakeFolders(path_);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
    RemoveDirectoryA(kScratchRoot);  // only once it is empty
}

AppPathsEntry::AppPathsEntry() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey); }

AppPathsEntry::~AppPathsEntry() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey); }

void AppPathsEntry::CreateKey()
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void AppPathsEntry::SetPath(DWORD type, const std::string& bytes)
{
    CreateKey();
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const LONG result = RegSetValueExA(key, "Path", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                       static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    ASSERT_EQ(result, ERROR_SUCCESS);
}

void AppPathsEntry::SetPath(const std::string& text) { SetPath(REG_SZ, std::string(text.c_str(), text.size() + 1)); }

DefaultFolder::DefaultFolder() { RemoveTree(kMakerFolder); }

DefaultFolder::~DefaultFolder() { RemoveTree(kMakerFolder); }

void DefaultFolder::Create(bool withExecutable)
{
    MakeFolders(Path());
    if (withExecutable)
        WriteFile(Path() + "\\DUVORUVO.exe", "placeholder");
}

}  // namespace fixtures
