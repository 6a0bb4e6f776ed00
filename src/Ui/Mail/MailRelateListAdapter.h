// The mails exchanged with the shown mail's correspondent, below the
// reading pane: a row per mail, its subject and summary.
#pragma once

#include "Ui/Utils/DuListViewResourceAdapter.h"

#include <functional>

class TRcMailRelateLisData : public TRcDuListViewResourceData {};

class TRcMailRelateListAdapter : public TRcDuListViewResourceAdapter {
public:
    static constexpr const char* kRowTemplate = "layout_receive_mail_list_panel_link_mail_";

    TRcMailRelateListAdapter() : TRcDuListViewResourceAdapter(kRowTemplate) { SetResType(rtAccountMail); }

    // The mails exchanged with the shown mail's correspondent; the list
    // views load again.
    void SetMails(TRcResPathList* aMails);
    int Count() const { return FMails ? FMails->Count() : 0; }
    TRcResPath* PathOfRow(int aRow) const;

    std::function<void(TRcResPath* aMailResPath)> FOnRowSelected;

    TRcRef<TRcDuListViewData> CreateRowData() override { return MakeRc<TRcMailRelateLisData>(); }
    int RowCount(int, TRcDuListViewData*) override { return Count(); }
    void UpdateRow(int aGroup, TRcDuListViewData* aGroupData, int aRow, TRcDuListViewData* aRowData) override;
    void RowChanged(int aOldRow, TRcDuListViewData* aOld, int aNewRow, TRcDuListViewData* aNew) override;

private:
    TRcRef<TRcResPathList> FMails;
};
