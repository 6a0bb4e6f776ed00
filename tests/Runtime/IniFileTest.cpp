#include "Runtime/CommandLine.h"
#include "Runtime/FileSync.h"
#include "Runtime/IniFile.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <set>
#include <thread>
#include <vector>

namespace {

TEST(IniFileTest, WindowsProfileRules)
{
    const auto ini = TIniFile::LoadFromText(
        "; comment\r\n"
        "top=ignored outside any section\r\n"
        "[Log]\r\n"
        "  LogToMode = File \r\n"
        "# not a comment=kept\r\n"
        "Empty=\r\n"
        "Quoted=\"  spaced  \"\r\n"
        "Inline=a ; b\r\n"
        "logtomode=second\r\n"
        "no equals sign\r\n"
        "[ log ]\n"
        "Extra=x=y\n"
        "[Other]\r"
        "K=v");
    EXPECT_EQ(ini.ReadString("LOG", "logtomode", "-"), "File");
    EXPECT_EQ(ini.ReadString("Log", "Empty", "-"), "");
    EXPECT_EQ(ini.ReadString("Log", "Missing", "-"), "-");
    EXPECT_EQ(ini.ReadString("Log", "Quoted", "-"), "  spaced  ");
    EXPECT_EQ(ini.ReadString("Log", "Inline", "-"), "a ; b");
    EXPECT_EQ(ini.ReadString("Log", "# not a comment", "-"), "kept");
    EXPECT_EQ(ini.ReadString("Log", "Extra", "-"), "x=y");
    EXPECT_EQ(ini.ReadString("Other", "K", "-"), "v");
    EXPECT_EQ(ini.ReadString("Nowhere", "top", "-"), "-");
    EXPECT_EQ(ini.ReadSection("log"),
              (std::vector<std::string>{"LogToMode", "# not a comment", "Empty", "Quoted", "Inline", "logtomode", "Extra"}));
    EXPECT_TRUE(ini.SectionExists("OTHER"));
    EXPECT_FALSE(ini.SectionExists("Oth"));
}

TEST(IniFileTest, Encodings)
{
    using namespace std::string_literals;
    struct TCase {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"utf8", "[S]\nK=中文\n"},
        {"utf8 bom", "\xEF\xBB\xBF[S]\nK=中文\n"},
        {"utf16le bom", "\xFF\xFE[\0S\0]\0\n\0K\0=\0\x2D\x4E\x87\x65\n\0"s},
        {"utf16be bom", "\xFE\xFF\0[\0S\0]\0\n\0K\0=\x4E\x2D\x65\x87\0\n"s},
        {"gb18030", "[S]\nK=\xD6\xD0\xCE\xC4\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TIniFile::LoadFromText(c.Bytes).ReadString("S", "K", "-"), "中文") << c.Name;
}

TEST(CommandLineTest, SwitchesAndValues)
{
    const TArguments args = {"/clearALLdata", "-LogToMode", "File", "-LogOutLevel:Debug", "-Empty", "-Next", "plain"};
    EXPECT_TRUE(FindCmdLineSwitch(args, "ClearAllData"));
    EXPECT_FALSE(FindCmdLineSwitch(args, "Clear"));
    EXPECT_FALSE(FindCmdLineSwitch({"ClearAllData", "--ClearAllData"}, "ClearAllData"));
    EXPECT_EQ(FindCmdLineSwitchValue(args, "logtomode"), "File");
    EXPECT_EQ(FindCmdLineSwitchValue(args, "LogOutLevel"), "Debug");
    EXPECT_EQ(FindCmdLineSwitchValue(args, "Empty"), std::nullopt);   // next one is a switch
    EXPECT_EQ(FindCmdLineSwitchValue(args, "Next"), "plain");
    EXPECT_EQ(FindCmdLineSwitchValue({"-LogToMode="}, "LogToMode"), "");
    EXPECT_EQ(FindCmdLineSwitchValue({"-LogToModeFile"}, "LogToMode"), std::nullopt);
}

} // namespace

namespace {

TEST(IniFileTest, WritingKeepsEverythingElse)
{
    const TScratchFolder scratch("qm-ini");
    const std::string folder = scratch.Path().string();
    const std::string path = folder + "/user.cfg";
    {
        std::ofstream out(path, std::ios::binary);
        out << "; my notes\r\n[PreferSet]\r\nStatusBarVisible=1\r\nstatusbarvisible=dup\r\n\r\n[Other]\r\nK=v\r\n";
    }
    WriteIniString(path, "preferset", "StatusBarVisible", "0");
    WriteIniString(path, "PreferSet", "QuillmarAppID", "ABC");
    WriteIniString(path, "New", "Key", "line\nbreak");
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "; my notes\n[PreferSet]\nStatusBarVisible=0\nstatusbarvisible=dup\nQuillmarAppID=ABC\n\n"
                    "[Other]\nK=v\n\n[New]\nKey=line break\n");
    WriteIniString(folder + "/fresh.cfg", "S", "K", "中文");
    EXPECT_EQ(TIniFile::LoadFromFile(folder + "/fresh.cfg").ReadString("S", "K", "-"), "中文");
    struct stat st {};
    ::stat((folder + "/fresh.cfg").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Two writers at once lose nothing, and the write goes through a fresh
// temporary that no link can lead elsewhere; then the folder is synced.
TEST(IniFileTest, WritersTakeTurnsThroughAFreshTemporary)
{
    const TScratchFolder scratch("qm-ini");
    const std::string path = (scratch.Path() / "user.cfg").string();
    const std::string victim = (scratch.Path() / "victim").string();
    std::ofstream(victim) << "keep me";
    std::filesystem::create_symlink(victim, path + ".tmp");

    std::vector<std::pair<TSyncKind, std::string>> syncs;
    SetSyncObserver([&](TSyncKind aKind, const std::filesystem::path& aPath) {
        syncs.emplace_back(aKind, aPath.string());
    });
    WriteIniString(path, "S", "First", "1");
    SetSyncObserver(nullptr);
    ASSERT_EQ(syncs.size(), 2u);
    EXPECT_EQ(syncs[0].first, TSyncKind::File);
    EXPECT_EQ(std::filesystem::path(syncs[0].second).parent_path(), scratch.Path());
    EXPECT_NE(syncs[0].second, path);
    EXPECT_EQ(syncs[1], std::make_pair(TSyncKind::Folder, scratch.Path().string()));
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "keep me");

    constexpr int kEach = 100;
    std::vector<std::thread> writers;
    for (const char* who : {"a", "b"})
        writers.emplace_back([&, who] {
            for (int i = 0; i < kEach; ++i)
                WriteIniString(path, "S", who + std::to_string(i), "v");
        });
    for (auto& writer : writers)
        writer.join();
    const auto ini = TIniFile::LoadFromFile(path);
    for (const char* who : {"a", "b"})
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(ini.ReadString("S", who + std::to_string(i), "lost"), "v") << who << i;
    std::set<std::string> left;   // no temporary stays behind
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path()))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"user.cfg", "user.cfg.lock", "user.cfg.tmp", "victim"}));
}

TEST(IniFileTest, NumbersAndBooleans)
{
    const auto ini = TIniFile::LoadFromText("[S]\nN=42\nBad=4x\nT=1\nF=0\nW=true\nX=yes\n");
    EXPECT_EQ(ini.ReadInteger("S", "N", 7), 42);
    EXPECT_EQ(ini.ReadInteger("S", "Bad", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "None", 7), 7);
    EXPECT_TRUE(ini.ReadBool("S", "T", false));
    EXPECT_FALSE(ini.ReadBool("S", "F", true));
    EXPECT_TRUE(ini.ReadBool("S", "W", false));
    EXPECT_TRUE(ini.ReadBool("S", "X", true));
    EXPECT_FALSE(ini.ReadBool("S", "X", false));
}

} // namespace
