// A program that runs one job — receive (the default) or send — for the
// first account of the data folder given as its argument, the way the
// client would: start-up sweep, scheduler thread, the program's POP3
// receiving and SMTP sending. It writes one line to standard output for
// every event the job reports, so a test can kill it at a chosen point
// counted in events. Exit code 0 when the job reported no error; the
// errors go to standard error.
//
//   mail_job_driver DATA_FOLDER [receive|send]
#include "ReceiveEvents.h"
#include "Business/Account/AccountManager.h"
#include "Business/Server/ServerDriver.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/AccountManagers.h"

#include <unistd.h>

#include <cstdio>

namespace {

class TEventLines : public TReceiveEvents {
public:
    void MailSwitch(int aTaskId, int aCount, TMailSwitchKind aKind, int aIndex) override
    {
        Line("switch");
        TReceiveEvents::MailSwitch(aTaskId, aCount, aKind, aIndex);
    }
    void MailProgress(int aTaskId, const std::string& aMessage, int64_t aCurr, int64_t aMax) override
    {
        Line("progress");
        TReceiveEvents::MailProgress(aTaskId, aMessage, aCurr, aMax);
    }
    void TaskUpdateInfo(int aTaskId, const std::string& aMessage) override
    {
        Line("info");
        TReceiveEvents::TaskUpdateInfo(aTaskId, aMessage);
    }

private:
    // Unbuffered: the reader must see each line as it happens.
    static void Line(const std::string& aKind)
    {
        const std::string line = aKind + "\n";
        [[maybe_unused]] const ssize_t n = ::write(1, line.data(), line.size());
    }
};

} // namespace

int main(int argc, char** argv)
{
    const bool send = argc == 3 && std::string(argv[2]) == "send";
    if (argc < 2 || argc > 3 || (argc == 3 && !send && std::string(argv[2]) != "receive")) {
        std::fprintf(stderr, "usage: %s DATA_FOLDER [receive|send]\n", argv[0]);
        return 2;
    }
    TRetainCountObjectAutoReleasePool pool;
    TAccountManagers managers(argv[1]);
    TAccountMailManager::AccountMailManager()->SweepMailFiles();
    TServerDriver::BuildInstance();
    TServerDriver* driver = TServerDriver::ServerDriver();
    driver->Scheduler()->SetTranslationServiceOn([] { return false; });
    auto events = MakeRc<TEventLines>();
    driver->RegisterObserver(events.Get());
    driver->Init();
    TRcResIdList* accounts = TAccountManager::AccountManager()->GetAccounts();
    if (!accounts || accounts->Count() == 0) {
        std::fprintf(stderr, "no account\n");
        return 2;
    }
    TRcResPath* account = TRcResPath::CreateAndAutoRelease({accounts->GetItem(0)});
    if (send)
        driver->PrioritySend(account);
    else
        driver->PriorityReceive(account);
    const bool ended = events->WaitForTaskEnds(1);
    driver->UnInit();
    driver->UnRegisterObserver(events.Get());
    TServerDriver::ReleaseInstance();
    for (const std::string& error : events->Texts("error"))
        std::fprintf(stderr, "%s\n", error.c_str());
    return ended && events->Texts("error").empty() ? 0 : 1;
}
