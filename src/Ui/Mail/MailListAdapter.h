// The mail list's rows: a folder's listing (the ids, in the listing's
// order) shown through a list view that clones only the rows in view.
//
// The first rows of a listing are read at once, so a folder shows its
// newest mails the moment it is opened; the rows below are read by the
// adapter's worker, each showing "正在加载..." until its values arrive. A
// row's values are kept once read, so scrolling back costs nothing; a
// reload or a change of that mail forgets them. Work for rows scrolled
// past before the worker reached them is skipped.
#pragma once

#include "MailRowValues.h"

#include "Ui/Utils/DuListViewResourceAdapter.h"
#include "Ui/Utils/FormWorker.h"

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TUiForm;

class TRcMailRowData : public TRcDuListViewResourceData {
public:
    TMailRowValues FValues;
};

class TRcMailListAdapter : public TRcDuListViewResourceAdapter {
public:
    static constexpr const char* kRowTemplate = "mailListView_mailListListbox_items_";
    static constexpr const char* kLoadingText = "正在加载...";
    // Rows read at once when shown; the rest go to the worker.
    static constexpr int kRowsAtOnce = 10;

    explicit TRcMailListAdapter(TUiForm& aForm);
    ~TRcMailListAdapter() override;

    // The list view it fills (not held: the list view holds its adapter).
    void SetListView(TRcDuListView* aListView) { FListView = aListView; }
    // A new listing of aFolder; the list view loads it again. aWhole says
    // whether it is the whole folder or only its first screen.
    void SetList(TRcResPath* aFolder, TRcResIdList* aMails, bool aWhole);
    TRcResPath* Folder() const { return FFolder.Get(); }
    int Count() const;
    bool IsWhole() const { return FWhole; }
    // The row of that mail in the listing, -1 when it is not there.
    int IndexOf(const std::string& aMailId) const;
    TRcResPath* PathOfRow(int aRow) const;
    // Sent mail and drafts show their recipient; the inbox and the trash
    // their sender.
    void SetShowRecipient(bool aShow) { FShowRecipient = aShow; }
    // Whether the translation markers show (the inbox and the trash).
    void SetShowSourceLanguage(bool aShow) { FShowSourceLanguage = aShow; }

    // Ticked rows, by mail id (a clone stands for whatever row it shows).
    void SetChecked(TRcResPath* aMailResPath, bool aChecked);
    bool IsChecked(TRcResPath* aMailResPath) const;
    // The ticked mails still in the listing, in listing order.
    std::vector<TRcRef<TRcResPath>> CheckedPaths() const;
    void ClearChecked() { FChecked.clear(); }

    // The mail changed: its values are read again, and its row shown again
    // if in view.
    void RefreshMail(TRcResPath* aMailResPath);
    // Rows read on the worker so far in this listing (for the curious).
    int RowsReadByWorker() const { return FRowsReadByWorker; }

    std::function<void(TRcResPath* aMailResPath)> FOnRowSelected;
    std::function<void(TRcResPath* aMailResPath)> FOnRowDoubleClicked;

    std::string RowTemplateName() const override { return kRowTemplate; }
    TRcRef<TRcDuListViewData> CreateRowData() override { return MakeRc<TRcMailRowData>(); }
    int RowCount(int aGroup, TRcDuListViewData* aGroupData) override;
    void UpdateRow(int aGroup, TRcDuListViewData* aGroupData, int aRow, TRcDuListViewData* aRowData) override;
    void RowChanged(int aOldRow, TRcDuListViewData* aOld, int aNewRow, TRcDuListViewData* aNew) override;
    void RowDoubleClicked(int aRow, TRcDuListViewData* aData) override;

private:
    // Rows in view, shared with the worker so it skips rows scrolled past.
    struct TShown {
        std::mutex Lock;
        int Generation = 0;
        std::unordered_set<int> Rows;
    };

    void Show(TRcMailRowData* aData);
    void Request(int aRow, TRcResPath* aMailResPath);
    // The listing changed: nothing read for the old one is shown.
    void NewGeneration();

    TUiForm& FForm;
    TRcDuListView* FListView = nullptr;
    TRcRef<TRcResPath> FFolder;
    TRcRef<TRcResIdList> FMails;
    bool FWhole = false;
    bool FShowRecipient = false;
    bool FShowSourceLanguage = true;
    int FGeneration = 0;
    int FRowsReadByWorker = 0;
    std::unordered_map<std::string, TMailRowValues> FValues;
    std::set<std::string> FChecked;
    std::unordered_map<const TRcMailRowData*, int> FRowOfData;
    std::shared_ptr<TShown> FShown;
    std::unique_ptr<TFormWorker> FWorker;
};
