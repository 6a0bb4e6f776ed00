// The message box: button sets, captions from the message texts, icons and
// results, driven by queued clicks inside its modal loop.
#include "DemoForm.h"

#include "Ui/Utils/MessageText.h"
#include "Ui/Utils/WarnWnd.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace {

class WarnWndTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseProductSkin();
        SetMessageTextProvider([](const std::string& aKey) {
            static const std::map<std::string, std::string> texts{
                {"BtnOk", "确定"}, {"BtnCancle", "取消"}, {"BtnYes", "是"}, {"BtnNO", "否"}};
            return texts.at(aKey);
        });
    }
    void TearDown() override
    {
        SetMessageTextProvider({});
        TFrmwarnWnd::FreeInstance();
    }

    struct TShown {
        int Result = -1;
        std::string Ok, Cancel;   // captions of the visible buttons
        int OkLeft = -1;
        bool OtherVisible = true;
        std::string Image;
        bool IconVisible = false;
        std::string Text, Caption;
    };

    // Shows a message; while it is up, notes what it shows and clicks aClick.
    TShown Show(int aButtonSet, int aIcon, const std::string& aClick)
    {
        TFrmwarnWnd& box = TFrmwarnWnd::Instance();
        TShown shown;
        box.AppendDelayBlock([&] {
            auto plugin = [&](const char* aName) { return box.GetDuPluginByName(aName); };
            if (plugin("warn_button_ok").IsVisible())
                shown.Ok = plugin("warn_button_ok").GetText();
            if (plugin("warn_button_cancle").IsVisible())
                shown.Cancel = plugin("warn_button_cancle").GetText();
            shown.OkLeft = plugin("warn_button_ok").GetLeft();
            shown.OtherVisible = plugin("warn_button_ignore").IsVisible();
            shown.Image = plugin("warn_tag").GetImage();
            shown.IconVisible = plugin("warn_tag").IsVisible();
            shown.Text = plugin("warn_font").GetText();
            shown.Caption = box.Caption();
            if (const char* dir = std::getenv("QUILLMAR_SCREENSHOT_DIR"))
                box.SaveScreenshot(std::string(dir) + "/quillmar-warn-wnd-" + std::to_string(aButtonSet) + ".png");
            if (aClick == "escape")
                box.Close();
            else
                plugin(aClick.c_str()).Click();
        });
        shown.Result = ShowWarnWnd("邮件已保存到草稿箱。", "提示", aButtonSet, aIcon);
        return shown;
    }
};

TEST_F(WarnWndTest, ButtonSetsCaptionsAndResults)
{
    const struct {
        int Set;
        const char* Click;
        int Result;
        const char* Ok;
        const char* Cancel;
        int OkLeft;
    } cases[] = {
        {0, "warn_button_ok", mrOk, "确定", "", 162},
        {0, "frm_Close", mrCancel, "确定", "", 162},
        {1, "warn_button_ok", mrOk, "确定", "取消", 81},
        {1, "warn_button_cancle", mrCancel, "确定", "取消", 81},
        {1, "frm_Close", mrCancel, "确定", "取消", 81},
        {4, "warn_button_ok", mrYes, "是", "否", 81},
        {4, "warn_button_cancle", mrNo, "是", "否", 81},
        // A Yes/No question closed by the window's own means is a No.
        {4, "frm_Close", mrNo, "是", "否", 81},
        {4, "escape", mrNo, "是", "否", 81},
    };
    for (const auto& c : cases) {
        const TShown shown = Show(c.Set, 0, c.Click);
        SCOPED_TRACE(testing::Message() << "set " << c.Set << ", " << c.Click);
        EXPECT_EQ(shown.Result, c.Result);
        EXPECT_EQ(shown.Ok, c.Ok);
        EXPECT_EQ(shown.Cancel, c.Cancel);
        EXPECT_EQ(shown.OkLeft, c.OkLeft);
        EXPECT_FALSE(shown.OtherVisible);
        EXPECT_EQ(shown.Text, "邮件已保存到草稿箱。");
        EXPECT_EQ(shown.Caption, "提示");
    }
}

TEST_F(WarnWndTest, IconsByValue)
{
    const struct {
        int Icon;
        const char* Image;
    } cases[] = {{0, ""}, {16, "cancel"}, {32, "ask"}, {48, "warn"}, {64, "tip"}, {5, ""}};
    for (const auto& c : cases) {
        const TShown shown = Show(0, c.Icon, "warn_button_ok");
        EXPECT_EQ(shown.Image, c.Image) << c.Icon;
        EXPECT_EQ(shown.IconVisible, *c.Image != '\0') << c.Icon;
    }
}

TEST_F(WarnWndTest, CaptionsReadTheKeysUntilTextsAreProvided)
{
    SetMessageTextProvider({});
    const TShown shown = Show(4, 32, "warn_button_ok");
    EXPECT_EQ(shown.Ok, "BtnYes");
    EXPECT_EQ(shown.Cancel, "BtnNO");
}

} // namespace
