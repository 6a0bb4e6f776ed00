#include "Business/Http/HttpJsonReply.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct TCase {
    std::string Body;
    bool IsJson;
    bool ResultBool;
    std::optional<int64_t> ResultInt;
    std::string ResultText;
    std::string InfoText;
    std::string InfoJson;   // compact dump, empty for none
};

TEST(HttpJsonReplyTest, ReadsResultAndInfoWhateverTheirJsonType)
{
    const std::vector<TCase> cases = {
        // "result" as bool, number and text
        {R"({"result":true,"info":"2023-05-17 09:30:15.250"})", true, true, 1, "true", "2023-05-17 09:30:15.250", ""},
        {R"({"result":false,"info":"TavroServerError"})", true, false, 0, "false", "TavroServerError", ""},
        {R"({"result":1,"info":{"guId":"A1","fileSize":3}})", true, true, 1, "1", R"({"fileSize":3,"guId":"A1"})",
         R"({"fileSize":3,"guId":"A1"})"},
        {R"({"result":2.0})", true, true, 2, "2.0", "", ""},
        {R"({"result":"true"})", true, true, std::nullopt, "true", "", ""},
        {R"({"result":" TRUE "})", true, true, std::nullopt, " TRUE ", "", ""},
        {R"({"result":" 1 ","info":"[1,2]"})", true, true, 1, " 1 ", "[1,2]", "[1,2]"},
        {R"({"result":"0","info":5})", true, false, 0, "0", "5", ""},
        {R"({"result":"no"})", true, false, std::nullopt, "no", "", ""},
        // "info" as a text holding JSON, and as a text that is not JSON
        {R"({"result":"1","info":"{\"white\":[\"a@b.c\"]}"})", true, true, 1, "1", R"({"white":["a@b.c"]})",
         R"({"white":["a@b.c"]})"},
        {R"({"result":0,"info":"{not json"})", true, false, 0, "0", "{not json", ""},
        // members missing or null
        {R"({"info":null})", true, false, std::nullopt, "", "", ""},
        {R"(  {"result":true}  )", true, true, 1, "true", "", ""},
        {"\xEF\xBB\xBF{\"result\":1}", true, true, 1, "1", "", ""},
        // not a JSON object: all readers answer as for missing members
        {"", false, false, std::nullopt, "", "", ""},
        {"<html><body>500</body></html>", false, false, std::nullopt, "", "", ""},
        {"[1]", false, false, std::nullopt, "", "", ""},
        {"1", false, false, std::nullopt, "", "", ""},
        {R"({"result":true)", false, false, std::nullopt, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Body);
        const auto reply = THttpJsonReply::Parse(c.Body);
        EXPECT_EQ(reply.IsJson(), c.IsJson);
        EXPECT_EQ(reply.ResultBool(), c.ResultBool);
        EXPECT_EQ(reply.ResultInt(), c.ResultInt);
        EXPECT_EQ(reply.ResultText(), c.ResultText);
        EXPECT_EQ(reply.InfoText(), c.InfoText);
        const auto info = reply.InfoJson();
        EXPECT_EQ(info ? info->dump() : "", c.InfoJson);
    }
}

} // namespace
