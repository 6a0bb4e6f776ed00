// The one entry point to an account's conversations. A conversation is
// [account, conversation]. While it exists the manager keeps the index
// current: it hears from the mail manager of every mail stored, moved or
// deleted for good.
#pragma once

#include <string>
#include <vector>

#include "Conversation.h"
#include "Runtime/Observable.h"
#include "Runtime/Singleton.h"

class IConversationObserver : public virtual IRcInterface {
public:
    virtual void OnContentChanged(TRcResPath* aResPath) = 0;
    virtual void OnChanged(TRcResPath* aResPath) = 0;
};

class TRcConversationObservable : public TRcObservable<IConversationObserver> {
public:
    void NotifyContentChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](IConversationObserver& aObserver) { aObserver.OnContentChanged(aResPath); });
    }
    void NotifyChanged(TRcResPath* aResPath)
    {
        ForEachObserver([&](IConversationObserver& aObserver) { aObserver.OnChanged(aResPath); });
    }
};

class TConversationManager : public TSingletonOf<TConversationManager> {
public:
    TConversationManager();
    ~TConversationManager() override;
    static TConversationManager* ConversationManager() { return Instance(); }

    // Builds the index of every account that has never had it built whole
    // (an account whose tables the data upgrade has not made yet waits for
    // a later start). The Info row of the account's database records it.
    void Init();

    void RegisterObserver(IConversationObserver* aObserver) { FObservable->RegisterObserver(aObserver); }
    void UnregisterObserver(IConversationObserver* aObserver) { FObservable->UnRegisterObserver(aObserver); }

    TRcRef<TRcConversation> CreateConversation();
    TRcConversation* GetConversation(TRcResPath* aResPath);
    TRcResIdList* GetConversationIds(TRcResPath* aPath);
    TRcRef<TRcConversation> GetConversationByEmail(TRcResPath* aResPath, const std::string& aFrom);
    bool CheckConversationByEmail(TRcResPath* aResPath, const std::string& aEmailAddress);
    void AddConversationByMail(TRcResPath* aResPath, TRcMail* aMail);
    // Empties both tables and adds every mail again, in one transaction.
    void ReCreateAllConversationAndItems(TRcResPath* aResPath, const TProgressProc& aProc);
    void StrToEmailAddressList(const std::string& aStr, std::vector<std::string>& aEMailAddress);
    // Saves only for a bare account path; returns nullptr.
    TRcResPath* SaveConversation(TRcResPath* aResPath, TRcConversation* aConversation);
    void DeleteConversation(TRcResPath* aResPath);
    void DeleteAllConversationAndItems(TRcResPath* aResPath);

private:
    TRcRef<TRcConversationObservable> FObservable;
};
