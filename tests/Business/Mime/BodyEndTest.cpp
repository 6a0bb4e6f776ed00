// The end of a page's body, found for splicing: the fragment goes before
// the body's written end tag, and nothing else of the page changes.
#include "Business/Html/BodyEnd.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BodyEndTest, TheFragmentGoesBeforeTheBodysEndTag)
{
    struct TCase {
        std::string Page;
        std::string Spliced;   // with the fragment "X"
    } cases[] = {
        {"<html><body><p>a</p></body></html>", "<html><body><p>a</p>X</body></html>"},
        {"<HTML><BODY>a</BODY >\r\n</HTML>", "<HTML><BODY>aX</BODY >\r\n</HTML>"},
        // Text that only looks like an end tag stays text.
        {"<body><!-- </body> --><script>'</body>'</script>b</body>", "<body><!-- </body> --><script>'</body>'</script>bX</body>"},
        {"<body><textarea></body></textarea>c</body>", "<body><textarea></body></textarea>cX</body>"},
        {"<html><body>d</html>", "<html><body>dX</html>"},   // no </body>: before </html>
        {"<p>e", "<p>eX"},                                    // neither: the end
        {"", "X"},
        {"<html><body>f</body></html>\r\n<!-- after -->", "<html><body>fX</body></html>\r\n<!-- after -->"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Page);
        EXPECT_EQ(InsertAtBodyEnd(c.Page, "X"), c.Spliced);
    }
}

} // namespace
