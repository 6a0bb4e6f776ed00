// The fuzz target over its seed corpus and the inputs it once found.
#include "Support/FuzzReplay.h"

namespace {

TEST(FuzzReplayTest, TheCorpusRunsClean)
{
    EXPECT_GT(ReplayFuzzCorpus({QUILLMAR_MIME_FIXTURES, QUILLMAR_FUZZ_CORPUS}), 10);
}

} // namespace
