#include "MailListAdapter.h"

#include "Ui/Utils/DuForm.h"

#include "Runtime/DateTime.h"

#include <string>

TRcMailListAdapter::TRcMailListAdapter(TUiForm& aForm)
    : TRcDuListViewResourceAdapter(kRowTemplate), FForm(aForm), FShown(std::make_shared<TShown>()),
      FWorker(std::make_unique<TFormWorker>(aForm))
{
    SetResType(rtAccountMail);
}

TRcMailListAdapter::~TRcMailListAdapter() = default;

void TRcMailListAdapter::NewGeneration()
{
    ++FGeneration;
    FWorker->Drop();
    std::lock_guard lock(FShown->Lock);
    FShown->Generation = FGeneration;
    FShown->Rows.clear();
    FRowOfData.clear();
}

void TRcMailListAdapter::SetList(TRcResPath* aFolder, TRcResIdList* aMails, bool aWhole)
{
    const bool sameFolder = FFolder && aFolder && FFolder->Equals(aFolder);
    NewGeneration();
    FFolder = TRcRef<TRcResPath>::Retain(aFolder);
    SetResPath(aFolder);
    FMails = TRcRef<TRcResIdList>::Retain(aMails);
    FWhole = aWhole;
    // A reload of the same folder keeps what was read (the changes that
    // matter came as changes of single mails); another folder starts over.
    if (!sameFolder) {
        FValues.clear();
        FChecked.clear();
        FRowsReadByWorker = 0;
    }
    NotifyChanged();
}

int TRcMailListAdapter::Count() const
{
    return FMails ? FMails->Count() : 0;
}

int TRcMailListAdapter::IndexOf(const std::string& aMailId) const
{
    if (!FMails)
        return -1;
    for (int i = 0; i < FMails->Count(); ++i)
        if (FMails->GetItem(i)->Id() == aMailId)
            return i;
    return -1;
}

TRcResPath* TRcMailListAdapter::PathOfRow(int aRow) const
{
    if (!FMails || !FFolder || aRow < 0 || aRow >= FMails->Count())
        return nullptr;
    return FFolder->Append(FMails->GetItem(aRow));
}

int TRcMailListAdapter::RowCount(int, TRcDuListViewData*)
{
    return Count();
}

void TRcMailListAdapter::UpdateRow(int, TRcDuListViewData*, int aRow, TRcDuListViewData* aRowData)
{
    auto* data = dynamic_cast<TRcMailRowData*>(aRowData);
    if (!data)
        return;
    TRcResPath* path = PathOfRow(aRow);
    data->SetResPath(path);
    {
        std::lock_guard lock(FShown->Lock);
        if (auto old = FRowOfData.find(data); old != FRowOfData.end())
            FShown->Rows.erase(old->second);
        FRowOfData[data] = aRow;
        FShown->Rows.insert(aRow);
    }
    if (!path) {
        data->FValues = {};
        Show(data);
        return;
    }
    const std::string& id = path->Last()->Id();
    if (auto known = FValues.find(id); known != FValues.end()) {
        data->FValues = known->second;
        Show(data);
        return;
    }
    if (aRow < kRowsAtOnce) {
        // The first screen: read now.
        data->FValues = LoadMailRowValues(path);
        FValues[id] = data->FValues;
        Show(data);
        return;
    }
    data->FValues = {};
    data->FValues.Subject = kLoadingText;
    Show(data);
    Request(aRow, path);
}

void TRcMailListAdapter::Request(int aRow, TRcResPath* aMailResPath)
{
    const int generation = FGeneration;
    TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(aMailResPath);
    std::weak_ptr<TShown> shown = FShown;
    FWorker->Post([this, generation, aRow, path, shown]() -> TFormWorker::TShow {
        {
            auto state = shown.lock();
            if (!state)
                return {};
            std::lock_guard lock(state->Lock);
            if (state->Generation != generation || !state->Rows.count(aRow))
                return {};   // scrolled past, or another listing
        }
        TMailRowValues values = LoadMailRowValues(path.Get());
        // Runs only while the worker, and so this adapter, lives.
        return [this, generation, aRow, path, values = std::move(values)] {
            if (generation != FGeneration)
                return;
            ++FRowsReadByWorker;
            FValues[path->Last()->Id()] = values;
            TRcDuListViewData* data = FListView ? FListView->DataByGroupAndRow(-1, aRow) : nullptr;
            auto* row = dynamic_cast<TRcMailRowData*>(data);
            if (row && row->ResPath() && row->ResPath()->Equals(path.Get())) {
                row->FValues = values;
                Show(row);
            }
        };
    });
}

void TRcMailListAdapter::RefreshMail(TRcResPath* aMailResPath)
{
    if (!aMailResPath || !aMailResPath->Last())
        return;
    FValues.erase(aMailResPath->Last()->Id());
    if (!FListView)
        return;
    FListView->ForEachRow([&](int, int, TRcDuListViewData* aData) {
        auto* row = dynamic_cast<TRcMailRowData*>(aData);
        if (row && row->ResPath() && row->ResPath()->Last()->Equals(aMailResPath->Last())) {
            // Read at once: one row, and the user is looking at it.
            row->FValues = LoadMailRowValues(row->ResPath());
            FValues[aMailResPath->Last()->Id()] = row->FValues;
            Show(row);
        }
    });
}

void TRcMailListAdapter::SetChecked(TRcResPath* aMailResPath, bool aChecked)
{
    if (!aMailResPath || !aMailResPath->Last())
        return;
    if (aChecked)
        FChecked.insert(aMailResPath->Last()->Id());
    else
        FChecked.erase(aMailResPath->Last()->Id());
}

bool TRcMailListAdapter::IsChecked(TRcResPath* aMailResPath) const
{
    return aMailResPath && aMailResPath->Last() && FChecked.count(aMailResPath->Last()->Id()) > 0;
}

std::vector<TRcRef<TRcResPath>> TRcMailListAdapter::CheckedPaths() const
{
    std::vector<TRcRef<TRcResPath>> paths;
    if (FChecked.empty() || !FMails || !FFolder)
        return paths;
    for (TRcResId* id : *FMails)
        if (FChecked.count(id->Id()))
            paths.push_back(TRcRef<TRcResPath>::Retain(FFolder->Append(id)));
    return paths;
}

void TRcMailListAdapter::RowChanged(int, TRcDuListViewData*, int, TRcDuListViewData* aNew)
{
    auto* data = dynamic_cast<TRcMailRowData*>(aNew);
    if (data && FOnRowSelected) {
        TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(data->ResPath());
        FOnRowSelected(path.Get());
    }
}

void TRcMailListAdapter::RowDoubleClicked(int, TRcDuListViewData* aData)
{
    auto* data = dynamic_cast<TRcMailRowData*>(aData);
    if (data && data->ResPath() && FOnRowDoubleClicked) {
        TRcRef<TRcResPath> path = TRcRef<TRcResPath>::Retain(data->ResPath());
        FOnRowDoubleClicked(path.Get());
    }
}

void TRcMailListAdapter::Show(TRcMailRowData* aData)
{
    const TMailRowValues& v = aData->FValues;
    const bool loading = !v.Loaded;
    duPlugin subject = aData->ChildPlugin("button_tabpage_mail_receive_list_title_");
    subject.SetText(loading ? v.Subject : (v.Subject.empty() ? "(无主题)" : v.Subject));
    subject.SetTooltip(loading ? std::string() : v.Subject);
    aData->ChildPlugin("btn_MailList_read_").SetImage(v.ReadedFlag || loading ? "mail_read" : "mail_unread");
    aData->ChildPlugin("static_tabpage_mail_receive_list_sender_Time_")
        .SetText(loading ? std::string() : TDuForm::GetgoodStringOfDate(v.Date));
    aData->ChildPlugin("btn_tabpage_mail_receive_list_relevance_").SetVisible(false);
    aData->ChildPlugin("button_tabpage_mail_receive_list_attachment_").SetVisible(v.HasAttachmentFlag);
    aData->ChildPlugin("lab_mail_list_inflight_").SetVisible(v.InFlight);
    aData->ChildPlugin("lab_mail_list_inflight_")
        .SetTooltip(v.InFlight ? "发送时连接中断，服务器可能已收到这封邮件。请确认后再决定是否重发。" : std::string());

    duPlugin who = aData->ChildPlugin("static_tabpage_mail_receive_list_sender_name_");
    who.SetStyle(v.ReadedFlag || loading ? "mailListView_MailRead_FromTo_style" : "mailListView_MailUnRead_FromTo_style");
    who.SetText(FShowRecipient ? v.To : v.From);
    who.SetTooltip(FShowRecipient ? v.ToTip : v.FromTip);

    const int language = FShowSourceLanguage ? v.SourceLanguage : v.TargetLanguage;
    const std::string image = v.NorvelUid.empty() ? std::string() : LanguageImage(language);
    duPlugin marker = aData->ChildPlugin("button_tabpage_mail_receive_list_translation_");
    marker.SetVisible(!image.empty() && language != -1 && language != 9997);
    marker.SetImage(image);
    aData->ChildPlugin("btn_tabpage_mail_Translation_list_")
        .SetVisible(FShowSourceLanguage && image.empty() && v.ReTranslation && !loading);
    aData->ChildPlugin("checkBox_tabpage_mail_list_Check_").SetChecked(IsChecked(aData->ResPath()));
}
