#include "MailPrintWnd.h"

#include "MailPrintPage.h"

#include "Business/AccountMail/MailComplex.h"
#include "Runtime/Log.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

namespace {

std::unique_ptr<TFrmEmailPrint> gPrintWnd;
bool gPostRoutineAdded = false;

void FreeAtApplicationEnd()
{
    gPrintWnd.reset();
}

} // namespace

TFrmEmailPrint& TFrmEmailPrint::Instance()
{
    if (!gPrintWnd) {
        gPrintWnd = TDuForm::New<TFrmEmailPrint>();
        if (!gPostRoutineAdded) {
            // A window must go before the application object does.
            qAddPostRoutine(FreeAtApplicationEnd);
            gPostRoutineAdded = true;
        }
    }
    return *gPrintWnd;
}

void TFrmEmailPrint::FreeInstance()
{
    gPrintWnd.reset();
}

TFrmEmailPrint::TFrmEmailPrint() = default;

TFrmEmailPrint::~TFrmEmailPrint()
{
    FView.reset();
    RemovePageFile();
}

void TFrmEmailPrint::BindingDuPlugin()
{
    FBusy = GetDuPluginByName("print_busy");
    FState = GetDuPluginByName("print_state");
    FView = CreateHtmlView(GetDuPluginByName("print_view"));
    FView->SetOnLoadFinished([this](bool aOk) { OnLoadFinished(aOk); });
}

void TFrmEmailPrint::RegisterDuPlugin()
{
    RegisterDuPluginNotifyEvent("frm_Close", DUNM_CLICK, [this](duPlugin, const duNotify&) { Close(); });
    RegisterDuPluginNotifyEvent("print_button_close", DUNM_CLICK, [this](duPlugin, const duNotify&) {
        FView->Clear();
        Close();
    });
    RegisterDuPluginNotifyEvent("print_button_stop", DUNM_CLICK, [this](duPlugin, const duNotify&) { FView->Stop(); });
}

void TFrmEmailPrint::SetMailComplex(TRcMailComplex* aMailComplex)
{
    FMailComplex = TRcRef<TRcMailComplex>::Retain(aMailComplex);
    if (!aMailComplex) {
        FView->Clear();
        RemovePageFile();
    }
}

bool TFrmEmailPrint::Print(TUiForm* aWebForm)
{
    return Run(paPrint, aWebForm);
}

void TFrmEmailPrint::Preview(TUiForm* aWebForm)
{
    Run(paPreview, aWebForm);
}

bool TFrmEmailPrint::PrintToPdf(TUiForm* aWebForm, const std::filesystem::path& aPdfFile)
{
    FPdfFile = aPdfFile;
    return Run(paPdf, aWebForm);
}

bool TFrmEmailPrint::Run(TAction aAction, TUiForm* aWebForm)
{
    FAction = aAction;
    FFlag = false;
    FResult = false;
    // Over the caller, or the whole screen.
    int left = 0, top = 0, width = 0, height = 0;
    if (aWebForm && aWebForm != this) {
        left = aWebForm->Left();
        top = aWebForm->Top();
        width = aWebForm->Width();
        height = aWebForm->Height();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        left = area.left();
        top = area.top();
        width = area.width();
        height = area.height();
    }
    if (width > 0 && height > 0)
        SetBounds(left, top, width, height);
    FBusy.SetVisible(true);
    FState.SetText("正在生成打印内容，等待......");
    const bool prepared = PreparePage();
    if (!prepared) {
        // Nothing to print: an empty page, until the user closes the window.
        FAction = paNone;
        FBusy.SetVisible(false);
        FState.SetText("");
    }
    ShowModal();
    FBusy.SetVisible(false);
    FAction = paNone;
    return prepared && FResult;
}

bool TFrmEmailPrint::PreparePage()
{
    RemovePageFile();
    if (!FMailComplex) {
        FView->Clear();
        return false;
    }
    TRcMailComplex* complex = FMailComplex.Get();
    complex->DisplayPage();
    const TMailPrintFields fields = MailPrintFieldsOf(complex);
    FPageFile = complex->BuildCustomHtmlBody([&](const std::filesystem::path& aBodyFile) {
        auto body = MakeRc<TRcMailComplexHtmlBodyFile>();
        body->FFileName = aBodyFile;
        return MakeMailPrintPage(fields, body->ReadHtmlContent());
    });
    std::vector<std::filesystem::path> pictures;
    for (const TRcMailComplexHtmlFile* file : *complex->HtmlFileList())
        pictures.push_back(file->FFileName);
    FView->ShowHtmlFile(FPageFile, pictures);
    return true;
}

void TFrmEmailPrint::OnLoadFinished(bool aOk)
{
    if (FAction == paNone || FFlag)
        return;
    FFlag = true;
    FBusy.SetVisible(false);
    if (!aOk) {
        TLog::O(lolWorn, "邮件打印内容生成失败");
        FState.SetText("打印内容生成失败");
        Close();
        return;
    }
    FState.SetText("");
    // Out of the signal first: the print dialogs run loops of their own.
    AppendDelayBlock([this, action = FAction] {
        switch (action) {
        case paPrint:
            FResult = FView->PrintWithDialog();
            Close();
            break;
        case paPreview:
            FView->PrintPreview();
            FResult = true;
            Close();
            break;
        case paPdf:
            FView->PrintToPdf(FPdfFile, [this](bool aPrinted) {
                FResult = aPrinted;
                Close();
            });
            break;
        case paNone:
            break;
        }
    });
}

void TFrmEmailPrint::RemovePageFile() noexcept
{
    if (FPageFile.empty())
        return;
    std::error_code ec;
    std::filesystem::remove(FPageFile, ec);
    FPageFile.clear();
}
