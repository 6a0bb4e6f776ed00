#include "SecretaryManager.h"

#include "Business/Resource/ResPathCheck.h"

namespace {

// The register's own path: the one whose membership changes.
TRcResPath* RegisterPath()
{
    return TRcResPath::CreateAndAutoRelease(std::initializer_list<TRcResId*>{});
}

} // namespace

TSecretaryManager::TSecretaryManager() : FObservable(MakeRc<TRcSecretaryObservable>())
{
}

void TSecretaryManager::Init()
{
    TSqliteDbSecretary::InitSecretaryTable();
}

TRcSecretary* TSecretaryManager::GetSecretary(TRcResPath* aResPath)
{
    if (!aResPath || aResPath->Count() != 1)
        return nullptr;
    return TSqliteDbSecretary::Load(aResPath);
}

TRcSecretaryList* TSecretaryManager::GetSecretarys()
{
    return TSqliteDbSecretary::LoadList();
}

TRcResIdList* TSecretaryManager::GetIDs()
{
    return TSqliteDbSecretary::GetIds();
}

TRcSecretary* TSecretaryManager::CreateSecretary()
{
    return TRcSecretary::CreateNewAndAutoRelease();
}

TRcResPath* TSecretaryManager::SaveSecretary(TRcSecretary* aSecretary)
{
    const std::optional<bool> existed = TSqliteDbSecretary::Save(aSecretary);
    if (!existed)
        return nullptr;
    TRcResPath* path = TRcResPath::CreateAndAutoRelease({aSecretary->ResId()});
    if (*existed)
        FObservable->NotifyContentChanged(path);
    else
        FObservable->NotifyChanged(RegisterPath());
    return path;
}

void TSecretaryManager::DeleteSecretary(TRcResPath* aResPath)
{
    if (!aResPath || aResPath->Count() != 1)
        return;
    if (TSqliteDbSecretary::Delete(aResPath))
        FObservable->NotifyChanged(RegisterPath());
}

void TSecretaryManager::DeleteAllSecretary()
{
    TSqliteDbSecretary::DeleteAllSecretary();
    FObservable->NotifyChanged(RegisterPath());
}

bool TSecretaryManager::CheckSecretaryByEmail(const std::string& aAddress)
{
    return TSqliteDbSecretary::CheckSecretaryByEmail(aAddress);
}

TRcRef<IResVisitor> TSecretaryResVisitorFactory::CreateVisitor(TRcResPath* aPath, IListOpertion*) const
{
    TSecretaryManager* manager = TSecretaryManager::SecretaryManager();
    if (!manager || !IsEmptyResPath(aPath))
        return nullptr;
    return CreateVisitor(manager->GetIDs());
}

TRcRef<IResVisitor> TSecretaryResVisitorFactory::CreateVisitor(TRcResIdList* aResIdList) const
{
    return TRcRef<IResVisitor>::Adopt(new TResIdListVisitor(aResIdList));
}
