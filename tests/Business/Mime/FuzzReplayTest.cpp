// The fuzz targets of what strangers' mail holds, over their seed corpora
// and every input they once found.
#include "Support/FuzzReplay.h"

namespace {

TEST(FuzzReplayTest, TheCorporaRunClean)
{
    EXPECT_GT(ReplayFuzzCorpus(FuzzMessage, {QUILLMAR_MIME_FIXTURES, QUILLMAR_FUZZ_CORPUS "/mime"}), 10);
    EXPECT_GT(ReplayFuzzCorpus(FuzzHeader, {QUILLMAR_FUZZ_CORPUS "/header"}), 5);
    EXPECT_GT(ReplayFuzzCorpus(FuzzHtmlPictures, {QUILLMAR_FUZZ_CORPUS "/html_pictures", QUILLMAR_FUZZ_CORPUS "/paste"}),
              5);
}

} // namespace
