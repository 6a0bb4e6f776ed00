#include "MailListLoader.h"

#include "Business/AccountMail/AccountMailManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/Log.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

struct TMailListLoader::TState {
    struct TRequest {
        int Generation = 0;
        TRcRef<TRcResPath> Folder;
        TRcRef<TGetMailsOpertion> Opertion;
        TDone Done;
    };

    TUiForm& Form;
    TLister Lister;
    std::mutex Lock;
    std::condition_variable Wake;
    std::optional<TRequest> Pending;
    int Generation = 0;
    bool Stop = false;
    std::thread Worker;

    TState(TUiForm& aForm, TLister aLister) : Form(aForm), Lister(std::move(aLister)) {}

    void Run(const std::weak_ptr<TState>& aSelf)
    {
        for (;;) {
            TRequest request;
            {
                std::unique_lock lock(Lock);
                Wake.wait(lock, [this] { return Stop || Pending.has_value(); });
                if (Stop)
                    return;
                request = std::move(*Pending);
                Pending.reset();
            }
            TRcRef<TRcResIdList> mails;
            try {
                TRetainCountObjectAutoReleasePool pool;
                mails = Lister(request.Folder.Get(), request.Opertion.Get());
            } catch (const std::exception& e) {
                TLog::O(lolWorn, "邮件列表读取失败：%s", {e.what()});
            }
            {
                std::lock_guard lock(Lock);
                if (Stop || request.Generation != Generation)
                    continue;   // a newer listing was asked for
            }
            // Handed to the form's thread; checked again there, since a
            // newer listing may be asked for meanwhile.
            Form.AppendDelayBlock([aSelf, request = std::move(request), mails]() mutable {
                auto self = aSelf.lock();
                if (!self)
                    return;
                {
                    std::lock_guard lock(self->Lock);
                    if (request.Generation != self->Generation)
                        return;
                }
                if (request.Done)
                    request.Done(mails.Get());
            });
        }
    }
};

TMailListLoader::TMailListLoader(TUiForm& aForm, TLister aLister)
{
    if (!aLister)
        aLister = [](TRcResPath* aFolder, const TGetMailsOpertion* aOpertion) {
            TAccountMailManager* manager = TAccountMailManager::AccountMailManager();
            return TRcRef<TRcResIdList>::Retain(manager ? manager->GetMails(aFolder, aOpertion) : nullptr);
        };
    d = std::make_shared<TState>(aForm, std::move(aLister));
    std::weak_ptr<TState> self = d;
    d->Worker = std::thread([state = d.get(), self] { state->Run(self); });
}

TMailListLoader::~TMailListLoader()
{
    {
        std::lock_guard lock(d->Lock);
        d->Stop = true;
        ++d->Generation;
    }
    d->Wake.notify_all();
    d->Worker.join();
}

int TMailListLoader::Load(TRcResPath* aFolder, const TGetMailsOpertion* aOpertion, TDone aDone)
{
    TState::TRequest request;
    request.Folder = TRcRef<TRcResPath>::Retain(aFolder);
    // The worker reads its own copy: the screen may change its options meanwhile.
    if (aOpertion) {
        request.Opertion = MakeRc<TGetMailsOpertion>();
        request.Opertion->FSubjectContainText = aOpertion->FSubjectContainText;
        request.Opertion->FFromContainText = aOpertion->FFromContainText;
        request.Opertion->FToContainText = aOpertion->FToContainText;
        request.Opertion->FSortMode = aOpertion->FSortMode;
    }
    request.Done = std::move(aDone);
    int generation = 0;
    {
        std::lock_guard lock(d->Lock);
        generation = ++d->Generation;
        request.Generation = generation;
        d->Pending = std::move(request);
    }
    d->Wake.notify_one();
    return generation;
}

void TMailListLoader::Cancel()
{
    std::lock_guard lock(d->Lock);
    ++d->Generation;
    d->Pending.reset();
}

int TMailListLoader::Generation() const
{
    std::lock_guard lock(d->Lock);
    return d->Generation;
}
