#include "Business/Data/TempFileManager.h"
#include "DataTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <memory>
#include <set>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(TempFileManagerTest, NamesAreCleanedCountedAndCreated)
{
    TScratchFolder data;
    TTempFileManager manager(data.Path());
    const fs::path folder = manager.TempFolder();
    EXPECT_EQ(folder, data.Path() / "Temp" / "(1)");
    EXPECT_EQ(manager.MakeTempFileName("a:b.txt", false), folder / "a_b.txt");
    EXPECT_EQ(manager.MakeTempFileName("a:b.txt", false), folder / "a_b(1).txt");
    EXPECT_EQ(manager.MakeTempFileName("a:b.txt", false), folder / "a_b(2).txt");
    EXPECT_EQ(manager.MakeTempFileName("", false), folder / "qmc.tmp");
    EXPECT_EQ(manager.MakeTempDirectoryName("", false), folder / "tmp");
    EXPECT_TRUE(fs::is_directory(folder / "tmp"));
    EXPECT_TRUE(fs::is_regular_file(folder / "a_b(1).txt"));
    EXPECT_EQ(manager.MakeTempFileName("..", false), folder / "qmc(1).tmp");
    EXPECT_EQ(TTempFileManager::CleanFileName("x\"*/:<>?\\|\x01\x1fy"), "x___________y");
    EXPECT_THAT(manager.MakeTempFileName("报价单.pdf", true).filename().string(),
                ::testing::MatchesRegex("报价单\\([0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{2}-[0-9]{3}\\)\\.pdf"));
}

TEST(TempFileManagerTest, LongNamesBecomeRandomAndStayWithinLimits)
{
    TScratchFolder data;
    TTempFileManager manager(data.Path());
    const std::string ascii(300, 'n');
    std::string chinese;
    for (int i = 0; i < 100; ++i)
        chinese += "邮";   // 100 characters, 300 bytes
    for (const std::string& name : {ascii + ".doc", chinese + ".doc", "x." + ascii}) {
        const auto made = manager.MakeTempFileName(name, true);
        const std::string file = made.filename().string();
        EXPECT_LE(file.size(), 255u) << file;
        EXPECT_TRUE(fs::exists(made));
        if (name.ends_with(".doc")) {
            EXPECT_THAT(file, ::testing::MatchesRegex("[0-9A-Za-z]{8}\\.doc"));
        }
    }
}

TEST(TempFileManagerTest, TwoThreadsNeverGetTheSameName)
{
    TScratchFolder data;
    TTempFileManager manager(data.Path());
    std::vector<fs::path> a, b;
    auto ask = [&](std::vector<fs::path>& aOut) {
        for (int i = 0; i < 200; ++i)
            aOut.push_back(manager.MakeTempFileName("same.eml", false));
    };
    std::thread first(ask, std::ref(a)), second(ask, std::ref(b));
    first.join();
    second.join();
    std::set<fs::path> all(a.begin(), a.end());
    all.insert(b.begin(), b.end());
    EXPECT_EQ(all.size(), 400u);
}

TEST(TempFileManagerTest, StaleRunFoldersGoHeldOnesStay)
{
    TScratchFolder data;
    const fs::path temp = data.Path() / "Temp";
    fs::create_directories(temp / "(1)");
    std::ofstream(temp / "(1)" / "left.eml") << "x";
    std::ofstream(temp / "stray.txt") << "x";
    fs::create_directories(temp / "(2)");
    // Another run holds (2).
    const int held = ::open((temp / "(2)" / ".lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    {
        TTempFileManager manager(data.Path());
        EXPECT_EQ(manager.TempFolder(), temp / "(1)");
        EXPECT_FALSE(fs::exists(temp / "(1)" / "left.eml"));
        EXPECT_FALSE(fs::exists(temp / "stray.txt"));
        EXPECT_TRUE(fs::exists(temp / "(2)"));
        TTempFileManager second(data.Path());   // a tool beside the client
        EXPECT_EQ(second.TempFolder(), temp / "(3)");
        EXPECT_TRUE(fs::exists(temp / "(1)"));
    }
    EXPECT_FALSE(fs::exists(temp / "(1)"));
    EXPECT_FALSE(fs::exists(temp / "(3)"));
    EXPECT_TRUE(fs::exists(temp / "(2)"));
    ::close(held);
}

// Runs that start together on one data folder (the client and the
// command-line tool): each gets a folder of its own that stays, locked
// from the moment it bears its name, however their sweeps interleave.
TEST(TempFileManagerTest, RunsStartingTogetherKeepTheirFoldersLocked)
{
    TScratchFolder data;
    for (int round = 0; round < 30; ++round) {
        constexpr int kRuns = 6;
        std::vector<std::unique_ptr<TTempFileManager>> runs(kRuns);
        std::vector<std::thread> starting;
        for (int i = 0; i < kRuns; ++i)
            starting.emplace_back([&, i] { runs[i] = std::make_unique<TTempFileManager>(data.Path()); });
        for (auto& thread : starting)
            thread.join();
        std::set<fs::path> folders;
        for (const auto& run : runs) {
            ASSERT_TRUE(fs::is_directory(run->TempFolder())) << run->TempFolder() << " in round " << round;
            folders.insert(run->TempFolder());
            const int probe = ::open((run->TempFolder() / ".lock").c_str(), O_RDWR | O_CLOEXEC);
            ASSERT_GE(probe, 0) << run->TempFolder();
            EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0) << run->TempFolder() << " is not locked";
            ::close(probe);
        }
        EXPECT_EQ(folders.size(), static_cast<std::size_t>(kRuns));
    }
}

} // namespace
