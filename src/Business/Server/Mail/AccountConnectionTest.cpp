#include "AccountConnectionTest.h"

TAccountConnectionTest::TAccountConnectionTest(TRcAccount* aAccount, TEmailTestObservable& aObservable,
                                               TTransportTuning aTuning)
    : FRunable(MakeRc<TRcReceiveCheckMailRunable>(aAccount, &aObservable, std::move(aTuning))),
      FThread(std::make_unique<TThreadForRunable>(FRunable.Get(), true))
{
}

TAccountConnectionTest::~TAccountConnectionTest()
{
    FRunable->Cancel();
    FThread.reset();
}

void TAccountConnectionTest::Start()
{
    FThread->Start();
}
