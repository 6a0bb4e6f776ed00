#include "MessageText.h"

namespace {

TMessageTextProvider& Provider()
{
    static TMessageTextProvider provider;
    return provider;
}

} // namespace

void SetMessageTextProvider(TMessageTextProvider aProvider)
{
    Provider() = std::move(aProvider);
}

std::string GetMessageText(const std::string& aKey)
{
    const auto& provider = Provider();
    return provider ? provider(aKey) : aKey;
}
