// The paste filter's fuzz target over its corpus (seeds and every input it
// once found).
#include "Support/FuzzReplay.h"

namespace {

TEST(PasteFilterFuzzReplayTest, TheCorpusRunsClean)
{
    EXPECT_GE(ReplayFuzzCorpus(FuzzPasteFilter, {QUILLMAR_PASTE_CORPUS}), 3);
}

} // namespace
