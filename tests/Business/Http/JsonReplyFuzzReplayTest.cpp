// The service replies' fuzz target over its seeds and every input it once
// found.
#include "Support/FuzzReplay.h"

namespace {

TEST(JsonReplyFuzzReplayTest, TheCorpusRunsClean)
{
    EXPECT_GT(ReplayFuzzCorpus(FuzzJsonReply, {QUILLMAR_FUZZ_CORPUS "/json_reply"}), 3);
}

} // namespace
