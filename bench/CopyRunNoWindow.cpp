// The updater's own copy run (update::UpdateFiles, built from the same
// sources) with no window: the time it takes, set against the updater
// with its window and against plain CopyFileA, splits the updater's cost
// into what the window adds and what the safe replacement adds.
#include "CopyRun.h"
#include "Handshake.h"

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

}  // namespace

int main(int argc, char** argv)
{
    return bench::RunWhenTold(argc, argv, [](const std::string& installPath) {
        return [installPath] {
            CountingHost host;
            update::UpdateFiles(installPath, host);
            return host.Copied;
        };
    });
}
