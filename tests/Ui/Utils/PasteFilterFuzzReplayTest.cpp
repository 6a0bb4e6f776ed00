// The paste filter's fuzz target over its corpus (seeds and every input it
// once found).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize);

namespace {

TEST(PasteFilterFuzzReplayTest, TheCorpusRunsClean)
{
    int replayed = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLMAR_PASTE_CORPUS, ec)) {
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
    EXPECT_GE(replayed, 3);
}

} // namespace
