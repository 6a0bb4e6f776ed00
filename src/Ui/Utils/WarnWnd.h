// The message box: one modal window of the skin ("warn_wnd"), made on first
// use and reused for every message.
#pragma once

#include "DuForm.h"

// Button sets: 0 OK; 1 OK and Cancel; 4 Yes and No.
// Icons: 0 none, 16 error, 32 question, 48 warning, 64 information.
// The result: 1 OK, 2 Cancel, 6 Yes, 7 No. Closing the window by its own
// means (close button, Escape) answers Cancel, and a Yes/No question No.
int ShowWarnWnd(const std::string& aText, const std::string& aCaption, int aButtonSet, int aIcon);

class TFrmwarnWnd : public TDuForm {
public:
    static constexpr const char* kWindowName = "warn_wnd";

    // The one message box, made on first use.
    static TFrmwarnWnd& Instance();
    static void FreeInstance();

    int ShowWarn(const std::string& aText, const std::string& aCaption, int aButtonSet, int aIcon);
    int ShowModalFlags() const { return FShowModalFlags; }

    // The image name of an icon value ("" for none or unknown).
    static std::string IconImage(int aIcon);

protected:
    std::string GetDuWindowName() const override { return kWindowName; }
    void BindingDuPlugin() override;
    void RegisterDuPlugin() override;
    int CloseResult() const override { return FShowModalFlags == 4 ? mrNo : mrCancel; }

private:
    duPlugin FButtonOk;
    duPlugin FButtonCancle;
    duPlugin FButtonOther;
    duPlugin FWarnFont;
    duPlugin FWarnTag;
    int FShowModalFlags = 0;
};
