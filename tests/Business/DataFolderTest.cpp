#include "Business/Data/DataFolder.h"
#include "Business/Data/DataFolderClear.h"
#include "Runtime/IniFile.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FScratch = std::make_unique<TScratchFolder>("qm-datatest");
        FRoot = FScratch->Path();
        fs::create_directories(FRoot / "prog");
        fs::create_directories(FRoot / "xdg");
        ::setenv("XDG_DATA_HOME", (FRoot / "xdg").c_str(), 1);
        ::unsetenv("QMC2FOLDER");
    }
    void TearDown() override
    {
        ::unsetenv("QMC2FOLDER");
        FScratch.reset();
    }
    static void Touch(const fs::path& aPath)
    {
        fs::create_directories(aPath.parent_path());
        std::ofstream(aPath) << "x";
    }

    fs::path FRoot;
    std::unique_ptr<TScratchFolder> FScratch;
};

TEST_F(DataFolderTest, RulesInOrder)
{
    struct TCase {
        const char* Flag;          // BaseDataPath, or nullptr for none
        const char* Environment;   // QMC2FOLDER, or nullptr for unset
        bool AccountsBesideProgram;
        const char* Expected;      // relative to the test root
    } cases[] = {
        {"evt", "env", false, "env"},
        {"EVT", "", false, "xdg/Quillmar 3 Mail"},
        {"evt", nullptr, true, "prog"},
        {"exe", "env", false, "prog"},
        {"home", "env", true, "xdg/Quillmar 3 Mail"},
        {"other", "env", true, "env"},
        {nullptr, nullptr, true, "prog"},
        {nullptr, nullptr, false, "xdg/Quillmar 3 Mail"},
    };
    for (const auto& c : cases) {
        if (c.Environment)
            ::setenv("QMC2FOLDER", c.Environment[0] ? (FRoot / c.Environment).c_str() : "", 1);
        else
            ::unsetenv("QMC2FOLDER");
        fs::remove_all(FRoot / "prog" / "Accounts");
        if (c.AccountsBesideProgram)
            fs::create_directories(FRoot / "prog" / "Accounts");
        const std::string config = c.Flag ? std::string("[Application]\nBaseDataPath=") + c.Flag : "";
        const std::string flag = BaseDataPathFlag(TIniFile::LoadFromText(config));
        EXPECT_EQ(ResolveDataFolder(flag, FRoot / "prog"), FRoot / c.Expected)
            << (c.Flag ? c.Flag : "(none)") << " " << (c.Environment ? c.Environment : "(unset)");
    }
}

TEST_F(DataFolderTest, ClearRemovesOnlyTheDataItems)
{
    const fs::path data = FRoot / "home";
    for (const char* item : {"Accounts/0123456789ABCDEF0123456789ABCDEF/Account.db", "Accounts/Accounts.db",
                             "Product/Product.db", "Templates/Templates.db", "Letter/Letter.db", "Update/x",
                             "Temp/(1)/t", "4.0.1", "QuillmarClient.cfg", "TranslateLanguage.ini",
                             "ProductCategory.ini", "CustomerLevel.ini", "Template.ini", "Documents/mine.txt",
                             ".bashrc"})
        Touch(data / item);
    // A linked item goes, what it points at stays.
    Touch(FRoot / "elsewhere" / "keep.txt");
    fs::remove_all(data / "Update");
    fs::create_directory_symlink(FRoot / "elsewhere", data / "Update");

    std::vector<std::string> failures;
    const auto removed = ClearDataFolderItems(data, FRoot / "prog", failures);
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(removed.size(), 12u);
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(data))
        left.push_back(fs::relative(entry.path(), data).string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".bashrc", "Documents", "Documents/mine.txt"}));
    EXPECT_TRUE(fs::exists(FRoot / "elsewhere" / "keep.txt"));

    // Nothing there: nothing to do, no error.
    EXPECT_TRUE(ClearDataFolderItems(data, FRoot / "prog", failures).empty());
    EXPECT_TRUE(failures.empty());
}

TEST_F(DataFolderTest, ClearBesideTheProgramKeepsItsConfiguration)
{
    const fs::path prog = FRoot / "prog";
    Touch(prog / "QuillmarClient.cfg");
    Touch(prog / "Accounts" / "Accounts.db");
    std::vector<std::string> failures;
    ClearDataFolderItems(prog, prog, failures);
    EXPECT_TRUE(fs::exists(prog / "QuillmarClient.cfg"));
    EXPECT_FALSE(fs::exists(prog / "Accounts"));
}

} // namespace
