// The message texts of the skin, by key, and filling them with arguments.
#include "ConfigManager.h"

#include "Runtime/AsciiText.h"
#include "Runtime/IniFile.h"
#include "Runtime/Log.h"

void TConfigManager::ReadMessageFile()
{
    const TIniFile ini = ReadExpected(FProgramFolder / FLanguageFileName);
    for (const auto& [key, text] : ini.ReadSectionValues("Language"))
        FMsgList.emplace(AsciiLower(key), text);   // the first of a key wins
}

std::string TConfigManager::GetMsg(const std::string& aKey) const
{
    auto it = FMsgList.find(AsciiLower(aKey));
    return it == FMsgList.end() ? std::string() : it->second;
}

bool TConfigManager::HasMsg(const std::string& aKey) const
{
    return FMsgList.count(AsciiLower(aKey)) > 0;
}

std::string TConfigManager::FormatMsg(const std::string& aKey, std::initializer_list<TFormatArg> aArgs) const
{
    const std::string text = GetMsg(aKey);
    try {
        return FormatText(text, aArgs);
    } catch (const EFormatError&) {
        TLog::O(lolWorn, "消息文本(%s)与参数不符：%s", {aKey, text});
        std::string shown = text;
        for (const TFormatArg& arg : aArgs) {
            shown += ' ';
            switch (arg.Kind()) {
            case TFormatArg::TKind::Signed: shown += std::to_string(arg.Signed()); break;
            case TFormatArg::TKind::Unsigned: shown += std::to_string(arg.Unsigned()); break;
            case TFormatArg::TKind::Float: shown += std::to_string(arg.Float()); break;
            case TFormatArg::TKind::Text: shown += arg.Text(); break;
            case TFormatArg::TKind::Pointer: break;
            }
        }
        return shown;
    }
}
