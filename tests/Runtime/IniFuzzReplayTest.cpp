// The INI reader's fuzz target over its seeds and every input it once found.
#include "Support/FuzzReplay.h"

namespace {

TEST(IniFuzzReplayTest, TheCorpusRunsClean)
{
    EXPECT_GT(ReplayFuzzCorpus(FuzzIni, {QUILLMAR_FUZZ_CORPUS "/ini"}), 3);
}

} // namespace
