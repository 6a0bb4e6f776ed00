#include "AccountMailVisitorFactory.h"

#include "AccountMailManager.h"
#include "Business/Resource/ResPathCheck.h"

TRcRef<IResVisitor> TAccountMailResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion* aOpertion) const
{
    TAccountMailManager* manager = TAccountMailManager::AccountMailManager();
    if (!manager)
        return nullptr;
    if (IsAccountMailFolderResPath(aPath)) {
        TRcRef<TGetMailsOpertion> opertion;
        if (auto* list = dynamic_cast<IAccountMailListOpertion*>(aOpertion)) {
            const int mode = list->SortMode();
            if (mode < gmosmDefault || mode > gmosmNoReadedFlag)
                return nullptr;
            opertion = MakeRc<TGetMailsOpertion>();
            opertion->FSubjectContainText = list->SubjectContainText();
            opertion->FFromContainText = list->FromContainText();
            opertion->FToContainText = list->ToContainText();
            opertion->FSortMode = static_cast<TGetMailsOpertionSortMode>(mode);
        }
        TRcResIdList* ids = manager->GetMails(aPath, opertion.Get());
        return ids ? TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(ids)) : nullptr;
    }
    if (IsAccountMailResPath(aPath)) {
        TRcResPathList* related = manager->GetRelateMailsOfMail(aPath);
        if (!related)
            return nullptr;
        auto* ids = TRcResIdList::CreateAndAutoRelease();
        for (TRcResPath* path : *related)
            ids->Add(path->Last());
        return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(ids));
    }
    return nullptr;
}
