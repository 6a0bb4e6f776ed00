// The print window: one window, made on first use and reused, that shows a
// stored mail's printable page (a header block, then the body) and prints
// it, previews it, or writes it to a PDF file.
//
// Callers set the mail, print or preview it with their own window, then
// set no mail (also when printing failed).
#pragma once

#include "DuForm.h"
#include "HtmlView.h"

#include "Runtime/RcRef.h"

#include <filesystem>
#include <memory>

class TRcMailComplex;

class TFrmEmailPrint : public TDuForm {
public:
    static constexpr const char* kWindowName = "mail_print_wnd";

    static TFrmEmailPrint& Instance();
    static void FreeInstance();

    TFrmEmailPrint();
    ~TFrmEmailPrint() override;

    // Holds aMailComplex (none: lets the held one go).
    void SetMailComplex(TRcMailComplex* aMailComplex);
    TRcMailComplex* MailComplex() const { return FMailComplex.Get(); }

    // Modal, over aWebForm's place (the screen when none): the print
    // dialog, then the printer; false when there was nothing to print, the
    // user cancelled, or printing failed.
    bool Print(TUiForm* aWebForm);
    // Modal: the print preview; closing it closes the window.
    void Preview(TUiForm* aWebForm);
    // Modal, without a dialog: the page as a PDF file.
    bool PrintToPdf(TUiForm* aWebForm, const std::filesystem::path& aPdfFile);
    void PrintSetup() {}

    // The page made for the held mail (empty before).
    const std::filesystem::path& PageFile() const { return FPageFile; }
    IHtmlView& View() { return *FView; }

protected:
    std::string GetDuWindowName() const override { return kWindowName; }
    void BindingDuPlugin() override;
    void RegisterDuPlugin() override;

private:
    enum TAction { paNone, paPrint, paPreview, paPdf };
    bool Run(TAction aAction, TUiForm* aWebForm);
    // Makes the printable page of the held mail and starts loading it;
    // false without a mail.
    bool PreparePage();
    void OnLoadFinished(bool aOk);
    void RemovePageFile() noexcept;

    TRcRef<TRcMailComplex> FMailComplex;
    std::unique_ptr<IHtmlView> FView;
    std::filesystem::path FPageFile;
    std::filesystem::path FPdfFile;
    TAction FAction = paNone;
    bool FFlag = false;   // the action has been started for this run
    bool FResult = false;
    duPlugin FBusy, FState;
};
