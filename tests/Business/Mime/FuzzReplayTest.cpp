// The fuzz target over its seed corpus and the inputs it once found.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize);

namespace {

TEST(FuzzReplayTest, TheCorpusRunsClean)
{
    int replayed = 0;
    for (const char* folder : {QUILLMAR_MIME_FIXTURES, QUILLMAR_FUZZ_CORPUS}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream s;
            s << in.rdbuf();
            const std::string bytes = s.str();
            EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0)
                << entry.path();
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 10);
}

} // namespace
