// Runs the copy run into the folder given on the command line and exits
// with the number of files copied, so a test can start it from anywhere.
#include "CopyRun.h"

namespace {

class CountingHost : public update::CopyRunHost {
public:
    int copied = 0;
    void ShowFile(const std::string&) override {}
    void ProcessMessages() override {}
    void CountCopiedFile() override { ++copied; }
    bool StopRequested() override { return false; }
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return -1;
    CountingHost host;
    update::UpdateFiles(argv[1], host);
    return host.copied;
}
