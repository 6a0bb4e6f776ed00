// The fuzz targets of what POP3 and SMTP servers send, over their seeds and
// every input they once found.
#include "Support/FuzzReplay.h"

namespace {

TEST(ReplyFuzzReplayTest, TheCorporaRunClean)
{
    EXPECT_GT(ReplayFuzzCorpus(FuzzPop3Reply, {QUILLMAR_FUZZ_CORPUS "/pop3_reply"}), 3);
    EXPECT_GT(ReplayFuzzCorpus(FuzzSmtpReply, {QUILLMAR_FUZZ_CORPUS "/smtp_reply"}), 3);
}

} // namespace
