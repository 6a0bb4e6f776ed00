#include "CommandLine.h"

#include "AsciiText.h"

namespace {

TArguments gProcessArguments;

// The text after the switch character, or nothing for a plain argument.
std::optional<std::string_view> SwitchBody(std::string_view aArg)
{
    if (aArg.size() < 2 || (aArg[0] != '-' && aArg[0] != '/'))
        return std::nullopt;
    return aArg.substr(1);
}

} // namespace

bool FindCmdLineSwitch(const TArguments& aArgs, std::string_view aName)
{
    for (const auto& arg : aArgs) {
        auto body = SwitchBody(arg);
        if (body && SameTextAscii(*body, aName))
            return true;
    }
    return false;
}

std::optional<std::string> FindCmdLineSwitchValue(const TArguments& aArgs, std::string_view aName)
{
    for (std::size_t i = 0; i < aArgs.size(); ++i) {
        auto body = SwitchBody(aArgs[i]);
        if (!body || body->size() < aName.size() || !SameTextAscii(body->substr(0, aName.size()), aName))
            continue;
        std::string_view rest = body->substr(aName.size());
        if (rest.empty()) {
            if (i + 1 < aArgs.size() && !SwitchBody(aArgs[i + 1]))
                return aArgs[i + 1];
            continue;
        }
        if (rest.front() == ':' || rest.front() == '=')
            return std::string(rest.substr(1));
    }
    return std::nullopt;
}

void SetProcessArguments(int argc, char** argv)
{
    gProcessArguments.assign(argv + (argc > 0 ? 1 : 0), argv + argc);
}

const TArguments& ProcessArguments()
{
    return gProcessArguments;
}
