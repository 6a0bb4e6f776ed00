#include "Runtime/IniFile.h"
#include "Runtime/Log.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex.h>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// POSIX extended expressions (std::regex trips g++ 12's warnings).
bool Search(const std::string& aText, const char* aPattern)
{
    regex_t re;
    if (regcomp(&re, aPattern, REG_EXTENDED | REG_NEWLINE) != 0)
        return false;
    const bool found = regexec(&re, aText.c_str(), 0, nullptr, 0) == 0;
    regfree(&re);
    return found;
}

struct TSettingsCase {
    const char* Config;
    TArguments Args;
    TLogMode Mode;
    TLogOutLevel Level;
};

TEST(LogSettingsTest, FileThenCommandLine)
{
    const TSettingsCase cases[] = {
        {"", {}, TLogMode::Null, lolWorn},
        {"[Log]\nLogToMode=File\nLogOutLevel=Info", {}, TLogMode::File, lolInfo},
        {"[log]\nlogtomode=fileandview\nlogoutlevel=DEBUG", {}, TLogMode::FileAndView, lolDebug},
        {"[Log]\nLogToMode=Verbose\nLogOutLevel=Loud", {}, TLogMode::Null, lolWorn},
        {"[Log]\nLogToMode=\nLogOutLevel=", {}, TLogMode::Null, lolWorn},
        {"[Log]\nLogToMode=File\nLogOutLevel=Error", {"-LogToMode", "nULL"}, TLogMode::Null, lolError},
        {"[Log]\nLogToMode=File\nLogOutLevel=Info", {"/logoutlevel:Debug"}, TLogMode::File, lolDebug},
        {"[Log]\nLogToMode=File\nLogOutLevel=Info", {"-LogToMode=Verbose", "-LogOutLevel", "Loud"}, TLogMode::File, lolInfo},
        {"[Log]\nLogToMode=Null", {"-LogToMode", "FileAndView", "-LogOutLevel", "Worn"}, TLogMode::FileAndView, lolWorn},
        {"[Log]\nLogToMode=File", {"-LogToMode"}, TLogMode::File, lolWorn},
        {"[Other]\nLogToMode=File", {}, TLogMode::Null, lolWorn},
    };
    for (const auto& c : cases) {
        const auto settings = ReadLogSettings(TIniFile::LoadFromText(c.Config), c.Args);
        EXPECT_EQ(settings.Mode, c.Mode) << c.Config;
        EXPECT_EQ(settings.Level, c.Level) << c.Config;
    }
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FScratch = std::make_unique<TScratchFolder>("qm-logtest");
        FFolder = FScratch->Path();
    }
    void TearDown() override
    {
        TLog::Finish();
        FScratch.reset();
    }

    std::vector<fs::path> Files() const
    {
        std::vector<fs::path> files;
        if (fs::exists(FFolder / "Log"))
            for (const auto& entry : fs::directory_iterator(FFolder / "Log"))
                files.push_back(entry.path());
        return files;
    }
    std::string Text() const
    {
        std::string all;
        for (const auto& file : Files()) {
            std::ifstream in(file);
            std::stringstream s;
            s << in.rdbuf();
            all += s.str();
        }
        return all;
    }
    void Start(TLogMode aMode, TLogOutLevel aLevel) { TLog::Start(TLogSettings{aMode, aLevel}, FFolder / "Log"); }

    fs::path FFolder;
    std::unique_ptr<TScratchFolder> FScratch;
};

TEST_F(LogTest, OffWritesNothing)
{
    Start(TLogMode::Null, lolDebug);
    TLog::O(lolError, "nobody hears this");
    TLog::Finish();
    EXPECT_TRUE(Files().empty());
    EXPECT_FALSE(TLog::Wanted(lolError));
}

TEST_F(LogTest, InfoThresholdAndTraces)
{
    Start(TLogMode::File, lolInfo);
    ASSERT_EQ(Files().size(), 1u);
    EXPECT_TRUE(Search(Files()[0].filename().string(), "^[0-9]{14}\\.csl$")) << Files()[0];
    TLog::O(lolError, "an error");
    TLog::O(lolWorn, "a warning");
    TLog::O(lolInfo, "count %d of %s", {3, "三"});
    TLog::O(lolDebug, "a debug line");
    TLog::O(lolInfo, "attached", "value");
    TLog::O(lolInfo, "broken %d", {"x"});
    bool built = false;
    TLog::D([&] { built = true; });
    EXPECT_FALSE(built);
    {
        auto trace = TLog::MEnterExit(lolInfo, lolDebug, "业务层初始化");
        trace->SetExitTag("ignored");
    }
    TLog::Finish();
    const std::string text = Text();
    EXPECT_TRUE(Search(text, "^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} I [^ ]*\\[[0-9]+\\]  Log 启动$"))
        << text;
    for (const char* wanted : {"E ", "an error", "a warning", "count 3 of 三", "attached = value",
                               "broken %d  [format error]", "  业务层初始化\n", "Log 结束"})
        EXPECT_NE(text.find(wanted), std::string::npos) << wanted << "\n" << text;
    EXPECT_EQ(text.find("a debug line"), std::string::npos);
    EXPECT_EQ(text.find("-> "), std::string::npos);
    EXPECT_EQ(text.find("<- "), std::string::npos);
}

TEST_F(LogTest, DebugThresholdWritesEnterAndExitRecords)
{
    Start(TLogMode::File, lolDebug);
    {
        auto outer = TLog::MEnterExit(lolInfo, lolDebug, "outer");
        outer->SetExitTag("done");
        TLog::Mdd("inner", [] { TLog::O(lolDebug, "inside"); });
    }
    TLog::AddSeparator(lolDebug);
    TLog::Finish();
    const std::string text = Text();
    for (const char* wanted : {"I [^ ]+  -> outer$", "D [^ ]+    -> inner$", "D [^ ]+      inside$",
                               "D [^ ]+    <- inner$", "D [^ ]+  <- outer  \\|  done$", "-{40}$"})
        EXPECT_TRUE(Search(text, wanted)) << wanted << "\n" << text;
}

TEST_F(LogTest, ThreadsNameThemselves)
{
    Start(TLogMode::File, lolInfo);
    std::thread([] {
        TLog::UpdateCurrentThreadName("收件线程");
        TLog::O(lolInfo, "from the worker");
    }).join();
    TLog::Finish();
    EXPECT_TRUE(Search(Text(), "I 收件线程\\[[0-9]+\\]  from the worker")) << Text();
}

TEST_F(LogTest, StartsWithinOneSecondShareTheFile)
{
    // Two starts land in the same second at the latest on the second try.
    for (int attempt = 0; attempt < 3; ++attempt) {
        fs::remove_all(FFolder / "Log");
        Start(TLogMode::File, lolInfo);
        TLog::O(lolInfo, "first run");
        Start(TLogMode::File, lolInfo);
        TLog::O(lolInfo, "second run");
        TLog::Finish();
        if (Files().size() == 1)
            break;
    }
    ASSERT_EQ(Files().size(), 1u);
    const std::string text = Text();
    EXPECT_NE(text.find("first run"), std::string::npos) << text;
    EXPECT_NE(text.find("second run"), std::string::npos) << text;
}

TEST_F(LogTest, FolderFallsBackWhenTheProgramFolderIsNotWritable)
{
    EXPECT_EQ(TLog::ChooseFolder(FFolder, FFolder / "state"), FFolder / "Log");
    // A "folder" below a regular file can never be made.
    std::ofstream(FFolder / "file") << "x";
    EXPECT_EQ(TLog::ChooseFolder(FFolder / "file", FFolder / "state"), FFolder / "state" / "quillmar" / "Log");
    EXPECT_TRUE(fs::is_directory(FFolder / "state" / "quillmar" / "Log"));
    EXPECT_EQ(fs::status(FFolder / "state" / "quillmar").permissions() & fs::perms::all, fs::perms::owner_all);
}

} // namespace
