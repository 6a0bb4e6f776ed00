#include "MailRelateListAdapter.h"

#include "Ui/Utils/DuForm.h"

#include "Business/AccountMail/AccountMailManager.h"

void TRcMailRelateListAdapter::SetMails(TRcResPathList* aMails)
{
    FMails = TRcRef<TRcResPathList>::Retain(aMails);
    NotifyChanged();
}

TRcResPath* TRcMailRelateListAdapter::PathOfRow(int aRow) const
{
    return FMails && aRow >= 0 && aRow < FMails->Count() ? FMails->GetItem(aRow) : nullptr;
}

void TRcMailRelateListAdapter::UpdateRow(int, TRcDuListViewData*, int aRow, TRcDuListViewData* aRowData)
{
    auto* data = dynamic_cast<TRcMailRelateLisData*>(aRowData);
    if (!data)
        return;
    TRcResPath* path = PathOfRow(aRow);
    data->SetResPath(path);
    TAccountMailManager* mails = TAccountMailManager::AccountMailManager();
    TRcMail* mail = mails && path ? mails->GetMail(path) : nullptr;
    const std::string subject = mail ? (mail->FSubject.empty() ? "(无主题)" : mail->FSubject) : std::string();
    data->ChildPlugin("static_receive_mail_list_mail_Subject_").SetText(subject);
    data->ChildPlugin("static_receive_mail_list_mail_Subject_").SetTooltip(subject);
    std::string summary;
    if (mail) {
        summary = TDuForm::GetgoodStringOfDate(mail->FDate);
        if (!mail->FMailSummary.empty())
            summary += "  " + mail->FMailSummary;
    }
    data->ChildPlugin("static_receive_mail_list_mailSummary_").SetText(summary);
}

void TRcMailRelateListAdapter::RowChanged(int, TRcDuListViewData*, int, TRcDuListViewData* aNew)
{
    auto* data = dynamic_cast<TRcMailRelateLisData*>(aNew);
    if (data && data->ResPath() && FOnRowSelected) {
        TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(data->ResPath());
        FOnRowSelected(path.Get());
    }
}
