#include "InstallFolder.h"

#include "platform/Files.h"
#include "platform/Registry.h"

namespace update {

namespace {

constexpr char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\DUVORUVO.exe";
constexpr char kPathValue[] = "Path";
// C:\Program Files\MIRADEN\ペルセリオナヴィロ（改訂版）
constexpr char kDefaultInstallFolder[] = "C:\\Program Files\\MIRADEN\\\x83y\x83\x8b\x83Z\x83\x8a\x83I\x83i\x83\x94\x83"
                                         "B\x83\x8d\x81i\x89\xfc\x92\xf9\x94\xc5\x81j";
constexpr char kProductExecutable[] = "\\DUVORUVO.exe";

}  // namespace

std::string FindInstallPath()
{
    std::string installPath;
    platform::TRegistry registry(platform::RegistryRoot::LocalMachine);
    if (registry.OpenKeyReadOnly(kAppPathsKey)) {
        installPath = registry.ReadString(kPathValue);
        registry.CloseKey();
    }
    if (installPath.empty() && platform::DirectoryExists(kDefaultInstallFolder))
        installPath = kDefaultInstallFolder;
    return installPath;
}

bool IsProductInstalled(const std::string& installPath)
{
    return !installPath.empty() && platform::FileExists(installPath + kProductExecutable);
}

}  // namespace update
