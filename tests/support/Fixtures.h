// Test fixtures: scratch folders under C:\, files with known bytes, and the
// product's App Paths entry, each removed before and after use.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace fixtures {

// ペルセリオナヴィロ（改訂版）, the product's folder name, in Shift-JIS.
extern const char kProductFolderName[];
// C:\Program Files\MIRADEN\ペルセリオナヴィロ（改訂版）
std::string DefaultInstallFolder();

void RemoveTree(const std::string& path);
void MakeFolders(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
std::optional<std::string> ReadFile(const std::string& path);
bool PathExists(const std::string& path);

// A folder C:\updater-tests\<name>, empty when made and removed when done.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name);
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "\\" + relative; }

private:
    std::string path_;
};

// The product's App Paths key under HKLM, absent when made and removed
// again when done.
class AppPathsEntry {
public:
    AppPathsEntry();
    AppPathsEntry(const AppPathsEntry&) = delete;
    AppPathsEntry& operator=(const AppPathsEntry&) = delete;
    ~AppPathsEntry();

    // Creates the key with no "Path" value.
    void CreateKey();
    // Writes "Path" with exactly these bytes and this type.
    void SetPath(DWORD type, const std::string& bytes);
    // A REG_SZ "Path" with its terminating NUL, as Windows tools write it.
    void SetPath(const std::string& text);
};

// The default install folder, removed (with C:\Program Files\MIRADEN if it
// made it) before and after use.
class DefaultFolder {
public:
    DefaultFolder();
    DefaultFolder(const DefaultFolder&) = delete;
    DefaultFolder& operator=(const DefaultFolder&) = delete;
    ~DefaultFolder();

    void Create(bool withExecutable);
    std::string Path() const { return DefaultInstallFolder(); }
};

}  // namespace fixtures
