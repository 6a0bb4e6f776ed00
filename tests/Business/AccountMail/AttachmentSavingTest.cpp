// Saving an attachment: a hostile name lands as one safe name inside the
// chosen folder, nothing existing is overwritten, nothing is executable,
// and a failure leaves nothing behind.
#include "Business/AccountMail/AttachmentSaving.h"
#include "Business/Data/WholeFile.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path& aFolder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(aFolder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(AttachmentSavingTest, NamesFromMailLandSafelyInTheChosenFolder)
{
    TScratchFolder scratch("qm-save");
    const fs::path source = scratch.Path() / "part.dat";
    WriteWholeFile(source, "#!/bin/sh\necho hi\n");
    ::chmod(source.c_str(), 0755);
    const fs::path folder = scratch.Path() / "Downloads";
    fs::create_directories(folder);

    const struct {
        const char* Name;
        const char* Saved;
    } cases[] = {
        {"../../x.sh", "x.sh"},
        {"../../x.sh", "x (1).sh"},   // never over the first
        {"报价单.pdf", "报价单.pdf"},
        {"", "attachment.dat"},
        {"/etc/passwd", "etc_passwd"},
        {"..", "attachment (1).dat"},
        {".bashrc", "bashrc"},
    };
    for (const auto& c : cases) {
        const fs::path saved = SaveAttachmentAs(source, folder, c.Name);
        EXPECT_EQ(saved.parent_path(), folder) << c.Name;
        EXPECT_EQ(saved.filename().string(), c.Saved) << c.Name;
        EXPECT_EQ(ReadWholeFile(saved), "#!/bin/sh\necho hi\n");
        struct stat st {};
        ASSERT_EQ(::stat(saved.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0111, 0u) << c.Name << " must not be executable";
    }
    EXPECT_EQ(Names(scratch.Path()), (std::vector<std::string>{"Downloads", "part.dat"})) << "nothing outside the folder";
}

TEST(AttachmentSavingTest, FailuresRaiseAndLeaveNothing)
{
    TScratchFolder scratch("qm-save");
    const fs::path folder = scratch.Path() / "out";
    fs::create_directories(folder);
    EXPECT_THROW(SaveAttachmentAs(scratch.Path() / "missing", folder, "a.txt"), std::exception);
    WriteWholeFile(scratch.Path() / "a", "x");
    EXPECT_THROW(SaveAttachmentAs(scratch.Path() / "a", scratch.Path() / "no-such-folder", "a.txt"), std::exception);
    EXPECT_TRUE(fs::is_empty(folder));
}

} // namespace
