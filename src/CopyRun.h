// The update file set and the run that copies it into the install folder.
// The run reaches its caller only through CopyRunHost, so it can be run
// without a window.
#pragma once

#include <array>
#include <string>

namespace update {

enum class FileGroup { ProgramData, Sound };

struct UpdateFile {
    FileGroup Group;
    const char* Source;       // relative to the updater's own folder
    const char* Destination;  // relative to the install folder
};

// In the order of copying; names exactly as they are on the media.
inline constexpr std::array<UpdateFile, 11> kUpdateFileSet{{
    {FileGroup::ProgramData, "Data\\LData.cxt", "LDATA.CXT"},
    {FileGroup::ProgramData, "Data\\SHARED.cxt", "SHARED.CXT"},
    {FileGroup::ProgramData, "Data\\START.dxr", "START.DXR"},
    {FileGroup::ProgramData, "Data\\Train.dxr", "TRAIN.DXR"},
    {FileGroup::ProgramData, "Data\\END.dxr", "END.DXR"},
    {FileGroup::ProgramData, "Data\\HTT.dxr", "HTT.DXR"},
    {FileGroup::Sound, "Data\\s1652.mp3", "SOUND\\SENTENCE\\THEME10\\s1652.MP3"},
    {FileGroup::Sound, "Data\\s1306.mp3", "SOUND\\SENTENCE\\THEME7\\s1306.MP3"},
    {FileGroup::Sound, "Data\\3.mp3", "SOUND\\DIALOGUE\\THEME2\\D01\\3.MP3"},
    {FileGroup::Sound, "Data\\9.mp3", "SOUND\\DIALOGUE\\THEME5\\D03\\9.MP3"},
    {FileGroup::Sound, "Data\\605.mp3", "SOUND\\WORD\\THEME4\\605.MP3"},
}};

// Both groups count, whether or not the sound group is copied.
inline constexpr int kUpdateFileCount = static_cast<int>(kUpdateFileSet.size());

// What the run asks of its caller.
class CopyRunHost {
public:
    virtual void ShowFile(const std::string& destination) = 0;
    virtual void ProcessMessages() = 0;
    virtual void CountCopiedFile() = 0;
    virtual bool StopRequested() = 0;

protected:
    ~CopyRunHost() = default;
};

// Copies the program data files, then the sound files when the install
// folder has a "SOUND" folder. A failed copy is only not counted; a stop
// request ends the run after the file in hand.
void UpdateFiles(const std::string& installPath, CopyRunHost& host);

// Copies one row over its destination; gives false when a stop was
// requested.
bool CopyDataFile(const UpdateFile& file, const std::string& installPath, CopyRunHost& host);

}  // namespace update
