// The install folder lookup against the real (Wine) registry and file
// system.
#include "InstallFolder.h"

#include "platform/Exceptions.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using fixtures::AppPathsEntry;
using fixtures::DefaultFolder;
using fixtures::ScratchFolder;

// '%s' のデータ型が不正です with the value name filled in.
constexpr char kInvalidPathType[] = "'Path' \x82\xcc\x83" "f\x81[\x83^\x8c^\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";

// Folders a case can name: "product" holds the executable, "empty" does
// not, "missing" does not exist, "folder-exe" has a folder in place of it.
struct Installations {
    ScratchFolder root{"lookup"};
    std::string product = root / "product";
    std::string empty = root / "empty";
    std::string missing = root / "missing";
    std::string folderExe = root / "folder-exe";

    Installations()
    {
        fixtures::MakeFolders(product);
        fixtures::WriteFile(product + "\\DUVORUVO.exe", "placeholder");
        fixtures::MakeFolders(empty);
        fixtures::MakeFolders(folderExe + "\\DUVORUVO.exe");
    }
};

enum class Default { Absent, WithExecutable, WithoutExecutable };

struct LookupCase {
    const char* name;
    std::function<void(AppPathsEntry&, const Installations&)> registry;
    Default defaultFolder;
    // The expected result; nullptr when it is the default folder.
    std::function<std::string(const Installations&)> expected;
    bool installed;
};

void PrintTo(const LookupCase& c, std::ostream* out) { *out << c.name; }

std::string DefaultPath(const Installations&) { return fixtures::DefaultInstallFolder(); }

const LookupCase kLookupCases[] = {
    {"NoKeyNoDefault", [](auto&, auto&) {}, Default::Absent, [](auto&) { return std::string(); }, false},
    {"NoKeyDefaultInstalled", [](auto&, auto&) {}, Default::WithExecutable, DefaultPath, true},
    {"KeyWithoutValue", [](auto& e, auto&) { e.CreateKey(); }, Default::WithExecutable, DefaultPath, true},
    {"EmptyValueUsesDefault", [](auto& e, auto&) { e.SetPath(""); }, Default::WithExecutable, DefaultPath, true},
    {"DwordWithoutDataIsAbsent", [](auto& e, auto&) { e.SetPath(REG_DWORD, ""); }, Default::WithExecutable,
     DefaultPath, true},
    {"MissingFolderStillWins", [](auto& e, auto& i) { e.SetPath(i.missing); }, Default::WithExecutable,
     [](auto& i) { return i.missing; }, false},
    {"ValueWinsOverDefault", [](auto& e, auto& i) { e.SetPath(i.product); }, Default::WithExecutable,
     [](auto& i) { return i.product; }, true},
    {"DefaultWithoutExecutable", [](auto&, auto&) {}, Default::WithoutExecutable, DefaultPath, false},
    {"FolderNamedLikeExecutable", [](auto& e, auto& i) { e.SetPath(i.folderExe); }, Default::Absent,
     [](auto& i) { return i.folderExe; }, false},
    {"FolderWithoutExecutable", [](auto& e, auto& i) { e.SetPath(i.empty); }, Default::WithExecutable,
     [](auto& i) { return i.empty; }, false},
    {"TrailingBackslashKept", [](auto& e, auto& i) { e.SetPath(i.product + "\\"); }, Default::Absent,
     [](auto& i) { return i.product + "\\"; }, true},
    {"StoredWithoutTerminatingNul", [](auto& e, auto& i) { e.SetPath(REG_SZ, i.product); }, Default::Absent,
     [](auto& i) { return i.product; }, true},
    {"TextCutAtFirstNul", [](auto& e, auto& i) { e.SetPath(REG_SZ, i.product + std::string("\0junk", 5)); },
     Default::Absent, [](auto& i) { return i.product; }, true},
    {"ExpandableValueIsExpanded",
     [](auto& e, auto&) { e.SetPath(REG_EXPAND_SZ, std::string("%UPDATER_TEST_ROOT%\\product", 28)); },
     Default::Absent, [](auto& i) { return i.product; }, true},
    {"VeryLongValue", [](auto& e, auto& i) { e.SetPath(i.missing + "\\" + std::string(3000, 'x')); },
     Default::Absent, [](auto& i) { return i.missing + "\\" + std::string(3000, 'x'); }, false},
};

class InstallFolderLookup : public testing::TestWithParam<LookupCase> {
protected:
    AppPathsEntry entry;
    DefaultFolder defaultFolder;
    Installations installations;
};

TEST_P(InstallFolderLookup, FindsFolderAndTestsForProduct)
{
    const LookupCase& c = GetParam();
    SetEnvironmentVariableA("UPDATER_TEST_ROOT", installations.root.Path().c_str());
    if (c.defaultFolder != Default::Absent)
        defaultFolder.Create(c.defaultFolder == Default::WithExecutable);
    c.registry(entry, installations);

    const std::string found = update::FindInstallPath();
    EXPECT_EQ(found, c.expected(installations));
    EXPECT_EQ(update::IsProductInstalled(found), c.installed);
}

INSTANTIATE_TEST_SUITE_P(Cases, InstallFolderLookup, testing::ValuesIn(kLookupCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A value of another type that holds data is an error, raised past the
// lookup, and the default folder is not consulted.
TEST(InstallFolderLookupErrors, ValueOfWrongTypeRaisesRegistryError)
{
    AppPathsEntry entry;
    DefaultFolder defaultFolder;
    defaultFolder.Create(true);
    for (const DWORD type : {DWORD(REG_DWORD), DWORD(REG_BINARY), DWORD(REG_MULTI_SZ)}) {
        SCOPED_TRACE(testing::Message() << "type " << type);
        entry.SetPath(type, std::string("\x01\x00\x00\x00", 4));
        try {
            update::FindInstallPath();
            ADD_FAILURE() << "no error raised";
        } catch (const platform::ERegistryException& error) {
            EXPECT_EQ(error.Message(), kInvalidPathType);
        }
    }
}

TEST(InstallFolderLookupErrors, EmptyFolderIsNeverInstalled)
{
    EXPECT_FALSE(update::IsProductInstalled(""));
}

}  // namespace
