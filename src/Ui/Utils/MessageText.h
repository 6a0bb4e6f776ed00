// Message texts by key. The configuration manager holds them (loaded from
// the skin's message file); until it provides them, a key reads as itself.
#pragma once

#include <functional>
#include <string>

using TMessageTextProvider = std::function<std::string(const std::string& aKey)>;

// An empty provider restores the default (the key itself).
void SetMessageTextProvider(TMessageTextProvider aProvider);
std::string GetMessageText(const std::string& aKey);
