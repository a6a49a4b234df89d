#include "CopyRun.h"

#include "platform/Files.h"

namespace update {

namespace {

constexpr char kSoundFolder[] = "\\SOUND";

bool CopyGroup(FileGroup group, const std::string& installPath, CopyRunHost& host)
{
    for (const UpdateFile& file : kUpdateFileSet) {
        if (file.Group == group && !CopyDataFile(file, installPath, host))
            return false;
    }
    return true;
}

}  // namespace

void UpdateFiles(const std::string& installPath, CopyRunHost& host)
{
    if (!CopyGroup(FileGroup::ProgramData, installPath, host))
        return;
    if (platform::DirectoryExists(installPath + kSoundFolder))
        CopyGroup(FileGroup::Sound, installPath, host);
}

bool CopyDataFile(const UpdateFile& file, const std::string& installPath, CopyRunHost& host)
{
    host.ShowFile(file.Destination);
    host.ProcessMessages();
    const std::string destination = installPath + "\\" + file.Destination;
    const std::string source = platform::ApplicationFolder() + file.Source;
    if (platform::ReplaceWithCopy(source, destination))
        host.CountCopiedFile();
    return !host.StopRequested();
}

}  // namespace update
