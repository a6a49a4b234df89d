// Test fixtures: scratch folders under C:\, files with known bytes, and the
// product's App Paths entry, each removed before and after use.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace fixtures {

// ペルセリオナヴィロ（改訂版）, the product's folder name, in Shift-JIS.
extern const char kProductFolderName[];
// C:\Program Files\MIRADEN\ペルセリオナヴィロ（改訂版）
std::string DefaultInstallFolder();

// The update file set, written out again here so that a slip in the
// program's own table shows: source in Data beside the updater, destination
// in the install folder.
struct UpdateFileRow {
    const char* source;
    const char* destination;
};
inline constexpr UpdateFileRow kUpdateFileRows[] = {
    {"LData.cxt", "LDATA.CXT"},
    {"SHARED.cxt", "SHARED.CXT"},
    {"START.dxr", "START.DXR"},
    {"Train.dxr", "TRAIN.DXR"},
    {"END.dxr", "END.DXR"},
    {"HTT.dxr", "HTT.DXR"},
    {"s1652.mp3", "SOUND\\SENTENCE\\THEME10\\s1652.MP3"},
    {"s1306.mp3", "SOUND\\SENTENCE\\THEME7\\s1306.MP3"},
    {"3.mp3", "SOUND\\DIALOGUE\\THEME2\\D01\\3.MP3"},
    {"9.mp3", "SOUND\\DIALOGUE\\THEME5\\D03\\9.MP3"},
    {"605.mp3", "SOUND\\WORD\\THEME4\\605.MP3"},
};
inline constexpr int kUpdateFileRowCount = 11;
inline constexpr int kFirstSoundRow = 6;

void RemoveTree(const std::string& path);
void MakeFolders(const std::string& path);
// The path up to its last separator, or the empty string.
std::string FolderOf(const std::string& path);
// Calls visit for every entry directly in the folder, "." and ".." left out.
void ForEachEntry(const std::string& folder,
                  const std::function<void(const std::string& path, const WIN32_FIND_DATAA& entry)>& visit);
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
