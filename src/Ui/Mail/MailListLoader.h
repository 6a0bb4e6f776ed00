// Lists a folder's mails away from the GUI thread: a large folder (100,000
// mails) takes long enough to freeze a window that listed it itself. Each
// listing gets a generation; a result that arrives after a newer listing
// was asked for is dropped, so switching folders or sort orders quickly
// only ever shows the last one asked for. Requests that pile up while one
// runs collapse into the newest.
#pragma once

#include "Ui/Utils/DuForm.h"

#include "Business/AccountMail/GetMailsOpertion.h"
#include "Business/Resource/ResPath.h"
#include "Runtime/RcRef.h"

#include <functional>
#include <memory>

class TMailListLoader {
public:
    // Runs on the worker thread; by default the account mail manager's listing.
    using TLister = std::function<TRcRef<TRcResIdList>(TRcResPath* aFolder, const TGetMailsOpertion* aOpertion)>;
    // On the form's thread, with the listing (empty when it failed).
    using TDone = std::function<void(TRcResIdList* aMails)>;

    explicit TMailListLoader(TUiForm& aForm, TLister aLister = {});
    // Waits for a listing that runs to end; its result is dropped.
    ~TMailListLoader();
    TMailListLoader(const TMailListLoader&) = delete;
    TMailListLoader& operator=(const TMailListLoader&) = delete;

    // Lists aFolder as aOpertion says; aDone hears the result unless another
    // Load (or Cancel) came first. The generation of this listing.
    int Load(TRcResPath* aFolder, const TGetMailsOpertion* aOpertion, TDone aDone);
    // Drops whatever is being listed.
    void Cancel();
    int Generation() const;

private:
    struct TState;
    std::shared_ptr<TState> d;
};
