// The copy baseline: plain CopyFileA over the updater's eleven files, from
// the Data folder beside this program into the folder the product's App
// Paths entry names, with no temporary file, no flush and no window.
#include "CopyRun.h"
#include "Handshake.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string OwnFolder()
{
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

}  // namespace

int main(int argc, char** argv)
{
    return bench::RunWhenTold(argc, argv, [](const std::string& installPath) {
        const std::string ownFolder = OwnFolder();
        std::vector<std::string> sources;
        std::vector<std::string> destinations;
        for (const update::UpdateFile& file : update::kUpdateFileSet) {
            sources.push_back(ownFolder + file.Source);
            destinations.push_back(installPath + "\\" + file.Destination);
        }
        return [sources, destinations] {
            int copied = 0;
            for (size_t i = 0; i < sources.size(); ++i) {
                if (CopyFileA(sources[i].c_str(), destinations[i].c_str(), FALSE))
                    ++copied;
            }
            return copied;
        };
    });
}
