// The copy run against real folders, with a host that records what the run
// asks of it.
#include "CopyRun.h"

#include "platform/Files.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using fixtures::ReadFile;
using fixtures::ScratchFolder;
using fixtures::WriteFile;

const auto& kRows = fixtures::kUpdateFileRows;
constexpr int kRowCount = fixtures::kUpdateFileRowCount;


std::string NewBytes(int row) { return "new bytes of row " + std::to_string(row + 1) + std::string(100 + row, '#'); }
std::string OldBytes(int row) { return "old bytes of row " + std::to_string(row + 1); }

// Records every call of the run, in order.
class RecordingHost : public update::CopyRunHost {
public:
    std::vector<std::string> calls;
    int copied = 0;
    // Called with the number of the stop question (1 for the first row).
    std::function<bool(int)> stopAnswer = [](int) { return false; };

    void ShowFile(const std::string& destination) override { calls.push_back("show " + destination); }
    void ProcessMessages() override { calls.push_back("process"); }
    void CountCopiedFile() override
    {
        calls.push_back("count");
        ++copied;
    }
    bool StopRequested() override
    {
        calls.push_back("stop?");
        return stopAnswer(++questions_);
    }

private:
    int questions_ = 0;
};

// What the host must have heard for rows tried in order, each copied or
// not.
std::vector<std::string> ExpectedCalls(const std::vector<std::pair<int, bool>>& rows)
{
    std::vector<std::string> calls;
    for (const auto& [row, copied] : rows) {
        calls.push_back(std::string("show ") + kRows[row].destination);
        calls.push_back("process");
        if (copied)
            calls.push_back("count");
        calls.push_back("stop?");
    }
    return calls;
}

// The Data folder beside this test program, where the run looks for its
// sources, and an installation with every destination folder and old
// bytes in every destination.
class CopyRun : public testing::Test {
protected:
    const std::string data = platform::ApplicationFolder() + "Data";
    ScratchFolder install{"copy-run"};

    void SetUp() override
    {
        fixtures::RemoveTree(data);
        fixtures::MakeFolders(data);
        for (int row = 0; row < kRowCount; ++row) {
            WriteFile(data + "\\" + kRows[row].source, NewBytes(row));
            const std::string destination = install / kRows[row].destination;
            fixtures::MakeFolders(fixtures::FolderOf(destination));
            WriteFile(destination, OldBytes(row));
        }
    }
    void TearDown() override { fixtures::RemoveTree(data); }

    std::string Destination(int row) const { return install / kRows[row].destination; }

    // Every row's destination holds the new bytes exactly for the rows
    // listed, the old ones otherwise, and no temporary file is left.
    void ExpectDestinations(const std::vector<int>& updated) const
    {
        for (int row = 0; row < kRowCount; ++row) {
            const bool isUpdated = std::find(updated.begin(), updated.end(), row) != updated.end();
            EXPECT_EQ(ReadFile(Destination(row)), isUpdated ? NewBytes(row) : OldBytes(row)) << "row " << row + 1;
        }
        ExpectNoTemporaryFiles(install.Path());
    }

    static void ExpectNoTemporaryFiles(const std::string& folder)
    {
        ASSERT_TRUE(platform::DirectoryExists(folder)) << folder;
        fixtures::ForEachEntry(folder, [](const std::string& path, const WIN32_FIND_DATAA& entry) {
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ExpectNoTemporaryFiles(path);
            else
                EXPECT_EQ(std::string(entry.cFileName).find(".tmp"), std::string::npos) << "left behind: " << path;
        });
    }
};

std::vector<std::pair<int, bool>> RowsTried(int first, int last, int failing = -1)
{
    std::vector<std::pair<int, bool>> rows;
    for (int row = first; row <= last; ++row)
        rows.emplace_back(row, row != failing);
    return rows;
}

TEST_F(CopyRun, CopiesAllElevenRowsInOrderShowingDestinationNames)
{
    RecordingHost host;
    update::UpdateFiles(install.Path(), host);

    EXPECT_EQ(host.copied, 11);
    EXPECT_EQ(host.calls, ExpectedCalls(RowsTried(0, 10)));
    ExpectDestinations({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_EQ(update::kUpdateFileCount, 11);
}

TEST_F(CopyRun, WithoutSoundFolderOnlyProgramDataIsTried)
{
    fixtures::RemoveTree(install / "SOUND");
    RecordingHost host;
    update::UpdateFiles(install.Path(), host);

    EXPECT_EQ(host.copied, 6);
    EXPECT_EQ(host.calls, ExpectedCalls(RowsTried(0, 5)));
    EXPECT_FALSE(fixtures::PathExists(install / "SOUND")) << "no folder is created";
}

TEST_F(CopyRun, SoundFolderIsLookedForOnlyAfterTheSixthRow)
{
    // The folder appears while row 6 is in hand: a test made before the run
    // or before row 6 would miss it.
    const std::string sound = install / "SOUND";
    const std::string hidden = install / "SOUND-later";
    ASSERT_TRUE(MoveFileA(sound.c_str(), hidden.c_str()));
    RecordingHost host;
    host.stopAnswer = [&](int question) {
        if (question == 6)
            MoveFileA(hidden.c_str(), sound.c_str());
        return false;
    };
    update::UpdateFiles(install.Path(), host);

    EXPECT_EQ(host.copied, 11);
}

TEST_F(CopyRun, MissingSourceIsPassedOverAndTheRunGoesOn)
{
    fixtures::RemoveTree(data + "\\START.dxr");
    RecordingHost host;
    update::UpdateFiles(install.Path(), host);

    EXPECT_EQ(host.copied, 10);
    EXPECT_EQ(host.calls, ExpectedCalls(RowsTried(0, 10, 2)));
    ExpectDestinations({0, 1, 3, 4, 5, 6, 7, 8, 9, 10});
}

TEST_F(CopyRun, MissingDestinationFolderFailsOnlyItsRow)
{
    fixtures::RemoveTree(install / "SOUND\\DIALOGUE\\THEME5\\D03");
    RecordingHost host;
    update::UpdateFiles(install.Path(), host);

    EXPECT_EQ(host.copied, 10);
    EXPECT_EQ(host.calls, ExpectedCalls(RowsTried(0, 10, 9)));
    EXPECT_FALSE(fixtures::PathExists(install / "SOUND\\DIALOGUE\\THEME5\\D03")) << "no folder is created";
}

TEST_F(CopyRun, StopRequestedDuringSecondRowEndsRunAfterIt)
{
    RecordingHost host;
    host.stopAnswer = [](int question) { return question == 2; };
    update::UpdateFiles(install.Path(), host);

    EXPECT_EQ(host.copied, 2);
    EXPECT_EQ(host.calls, ExpectedCalls(RowsTried(0, 1)));
    ExpectDestinations({0, 1});
}

// Holds a file open without sharing, as another program might.
class HeldFile {
public:
    void Hold(const std::string& path)
    {
        file_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file_, INVALID_HANDLE_VALUE);
    }
    HeldFile() = default;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile()
    {
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
    }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// Destinations the system must not, or cannot, replace: each is a failed
// row, the old file stays as it was, and the run goes on.
struct RefusedDestination {
    const char* name;
    std::function<void(const std::string& destination, HeldFile& held)> arrange;
};

void PrintTo(const RefusedDestination& c, std::ostream* out) { *out << c.name; }

const RefusedDestination kRefusedDestinations[] = {
    {"ReadOnly", [](const std::string& d, HeldFile&) { SetFileAttributesA(d.c_str(), FILE_ATTRIBUTE_READONLY); }},
    {"HeldOpenWithoutSharing", [](const std::string& d, HeldFile& held) { held.Hold(d); }},
    {"FolderInItsPlace",
     [](const std::string& d, HeldFile&) {
         DeleteFileA(d.c_str());
         CreateDirectoryA(d.c_str(), nullptr);
     }},
};

class CopyRunRefused : public CopyRun, public testing::WithParamInterface<RefusedDestination> {};

TEST_P(CopyRunRefused, CountsFailureAndKeepsOldFile)
{
    const std::string destination = Destination(1);
    RecordingHost host;
    {
        HeldFile held;
        GetParam().arrange(destination, held);
        update::UpdateFiles(install.Path(), host);
    }
    const bool wasFolder = platform::DirectoryExists(destination);
    SetFileAttributesA(destination.c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(host.copied, 10);
    EXPECT_EQ(host.calls, ExpectedCalls(RowsTried(0, 10, 1)));
    if (wasFolder) {
        ExpectNoTemporaryFiles(install.Path());
    } else {
        ExpectDestinations({0, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CopyRunRefused, testing::ValuesIn(kRefusedDestinations),
                         [](const auto& info) { return std::string(info.param.name); });

// Sources on read-only media must not leave files that no later update can
// replace.
TEST_F(CopyRun, NewCopyDoesNotInheritReadOnlyMark)
{
    const std::string source = data + "\\LData.cxt";
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY);
    RecordingHost host;
    update::UpdateFiles(install.Path(), host);
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_EQ(host.copied, 11);
    EXPECT_FALSE(GetFileAttributesA(Destination(0).c_str()) & FILE_ATTRIBUTE_READONLY);
}

// A file system that fills up in the middle of the copy: the destination
// keeps its old bytes and the partial copy is gone. The tiny file system is
// mounted by the test run and reached through Wine's Z: drive.
TEST_F(CopyRun, CopyFailingHalfwayKeepsOldFile)
{
    const char* tinyFileSystem = getenv("UPDATER_TINY_FS");
    if (!tinyFileSystem)
        GTEST_SKIP() << "no tiny file system mounted (UPDATER_TINY_FS)";
    std::string tinyInstall = std::string("Z:") + tinyFileSystem + "/install";
    std::replace(tinyInstall.begin(), tinyInstall.end(), '/', '\\');
    fixtures::RemoveTree(tinyInstall);
    fixtures::MakeFolders(tinyInstall);
    WriteFile(tinyInstall + "\\LDATA.CXT", OldBytes(0));
    WriteFile(data + "\\LData.cxt", std::string(200 * 1024, 'n'));

    RecordingHost host;
    update::UpdateFiles(tinyInstall, host);

    EXPECT_EQ(host.copied, 5);
    EXPECT_EQ(host.calls, ExpectedCalls(RowsTried(0, 5, 0)));
    EXPECT_EQ(ReadFile(tinyInstall + "\\LDATA.CXT"), OldBytes(0));
    ExpectNoTemporaryFiles(tinyInstall);
    fixtures::RemoveTree(tinyInstall);
}

// 表 and ソ end in a 0x5C byte, which must not be taken for a separator when
// the updater works out its own folder.
TEST(CopyRunFromShiftJisFolder, FindsSourcesBesideExecutableWhateverCurrentFolder)
{
    const std::string trailBytes = "\x95\x5c\x83\x5c";  // 表ソ
    ScratchFolder scratch("sjis");
    const std::string appFolder = scratch / trailBytes;
    const std::string probe = appFolder + "\\" + trailBytes + ".exe";
    const std::string elsewhere = scratch / "elsewhere";
    const std::string installFolder = scratch / "install";
    fixtures::MakeFolders(appFolder + "\\Data");
    fixtures::MakeFolders(elsewhere);
    fixtures::MakeFolders(installFolder);
    for (int row = 0; row < 6; ++row)
        WriteFile(appFolder + "\\Data\\" + kRows[row].source, NewBytes(row));
    ASSERT_TRUE(CopyFileA((platform::ApplicationFolder() + "copy_run_probe.exe").c_str(), probe.c_str(), FALSE));

    std::string commandLine = "\"" + probe + "\" \"" + installFolder + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(probe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               elsewhere.c_str(), &startup, &process));
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD copied = 0;
    GetExitCodeProcess(process.hProcess, &copied);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    EXPECT_EQ(copied, 6u);
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(ReadFile(installFolder + "\\" + kRows[row].destination), NewBytes(row)) << "row " << row + 1;
}

}  // namespace
