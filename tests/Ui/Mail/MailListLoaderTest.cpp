// Listing away from the GUI thread: only the newest listing asked for is
// shown, a slow old one arriving late is dropped, and a loader that goes
// while a listing runs leaves nothing behind.
#include "../Utils/DemoForm.h"

#include "Runtime/AutoReleasePool.h"
#include "Ui/Mail/MailListLoader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TRcResPath* Folder(const char* aId)
{
    return TRcResPath::CreateAndAutoRelease({TRcResId::CreateAndAutoRelease(rtAccountMailFolder, aId)});
}

// "SLOW" takes its time; every folder lists one mail named after it.
TRcRef<TRcResIdList> SlowLister(TRcResPath* aFolder, const TGetMailsOpertion*)
{
    const std::string folder = aFolder->Last()->Id();
    if (folder == "SLOW")
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto list = MakeRc<TRcResIdList>();
    list->Add(TRcResId::CreateAndAutoRelease(rtAccountMail, folder + "-mail"));
    return list;
}

void PumpFor(int aMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < aMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

// Until aDone, at most 10 s, then a little longer for anything late.
void PumpUntil(const std::function<bool()>& aDone)
{
    QElapsedTimer timer;
    timer.start();
    while (!aDone() && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    PumpFor(400);
}

class MailListLoaderTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseTestSkin();
        FForm = TDuForm::New<TDemoForm>();
    }
    TRetainCountObjectAutoReleasePool FPool;
    std::unique_ptr<TDemoForm> FForm;
};

TEST_F(MailListLoaderTest, OnlyTheNewestListingIsShown)
{
    TMailListLoader loader(*FForm, SlowLister);
    std::vector<std::string> shown;
    auto record = [&](TRcResIdList* aMails) {
        shown.push_back(aMails && aMails->Count() > 0 ? aMails->GetItem(0)->Id() : "(none)");
    };
    loader.Load(Folder("SLOW"), nullptr, record);
    PumpFor(50);   // the slow listing is running now
    const int newest = loader.Load(Folder("INBOX"), nullptr, record);
    PumpUntil([&] { return !shown.empty(); });
    EXPECT_EQ(shown, std::vector<std::string>{"INBOX-mail"});
    EXPECT_EQ(loader.Generation(), newest);

    // Requests that pile up collapse into the newest.
    shown.clear();
    loader.Load(Folder("SLOW"), nullptr, record);
    PumpFor(50);
    for (const char* folder : {"A", "B", "C"})
        loader.Load(Folder(folder), nullptr, record);
    PumpUntil([&] { return !shown.empty(); });
    EXPECT_EQ(shown, std::vector<std::string>{"C-mail"});

    loader.Load(Folder("SLOW"), nullptr, record);
    loader.Cancel();
    PumpFor(500);
    EXPECT_EQ(shown, std::vector<std::string>{"C-mail"}) << "a cancelled listing is not shown";
}

TEST_F(MailListLoaderTest, ALoaderThatGoesWhileListingLeavesNothingBehind)
{
    std::atomic<int> called{0};
    {
        TMailListLoader loader(*FForm, SlowLister);
        loader.Load(Folder("SLOW"), nullptr, [&](TRcResIdList*) { ++called; });
        PumpFor(50);
    }
    PumpFor(400);
    EXPECT_EQ(called, 0);

    // A lister that fails gives an empty result, not a dead worker.
    TMailListLoader failing(*FForm, [](TRcResPath*, const TGetMailsOpertion*) -> TRcRef<TRcResIdList> {
        throw std::runtime_error("database locked");
    });
    bool empty = false;
    failing.Load(Folder("X"), nullptr, [&](TRcResIdList* aMails) { empty = aMails == nullptr; });
    PumpUntil([&] { return empty; });
    EXPECT_TRUE(empty);
}

} // namespace
