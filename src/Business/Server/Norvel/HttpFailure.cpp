#include "HttpFailure.h"

#include "Business/Server/Mail/TransportErrors.h"

void RaiseHttpFailure(const THttpResult& aResult)
{
    if (aResult.Cancelled)
        throw ETransportCancelled();
    if (aResult.Status != 0 && (aResult.Status < 200 || aResult.Status > 299))
        throw EHttpProtocolError(static_cast<int>(aResult.Status), aResult.Error);
    throw ESocketError(aResult.Error);
}
