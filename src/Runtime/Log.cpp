#include "Log.h"

#include "IniFile.h"
#include "LogSink.h"
#include "ProgramPaths.h"

#include <atomic>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<uint8_t> gMode{static_cast<uint8_t>(TLogMode::Null)};
std::atomic<uint8_t> gThreshold{lolWorn};

TLogSink& Sink()
{
    static TLogSink sink;   // never destroyed before the last line
    return sink;
}

TLogCategory CategoryOf(TLogOutLevel aLevel)
{
    switch (aLevel) {
    case lolError: return TLogCategory::Error;
    case lolWorn: return TLogCategory::Warning;
    case lolInfo: return TLogCategory::Info;
    case lolDebug: break;
    }
    return TLogCategory::Debug;
}

bool Writable(const std::filesystem::path& aFolder)
{
    std::error_code ec;
    if (std::filesystem::is_directory(aFolder, ec))
        return ::access(aFolder.c_str(), W_OK | X_OK) == 0;
    // Missing: writable if it can be made.
    return std::filesystem::create_directories(aFolder, ec) && !ec;
}

} // namespace

TLogMethodEnterExit::TLogMethodEnterExit(TLogOutLevel aEnterOutLevel, TLogOutLevel aExitOutLevel, std::string aName)
    : FName(std::move(aName)), FExitLevel(aExitOutLevel)
{
    if (!TLog::Wanted(aEnterOutLevel)) {
        FEnterFlag = 1;
    } else if (TLog::Wanted(aExitOutLevel)) {
        TLog::MEnter(aEnterOutLevel, FName);
        FEnterFlag = 3;
    } else {
        TLog::O(aEnterOutLevel, FName);
        FEnterFlag = 2;
    }
}

TLogMethodEnterExit::~TLogMethodEnterExit()
{
    if (FEnterFlag != 3)
        return;
    TLog::MExit(FExitLevel, FTag.empty() ? FName : FName + "  |  " + FTag);
}

bool TLog::Wanted(TLogOutLevel aLevel)
{
    return gMode.load(std::memory_order_relaxed) != 0 && aLevel <= gThreshold.load(std::memory_order_relaxed);
}

void TLog::O(TLogOutLevel aLevel, std::string_view aMsg)
{
    if (Wanted(aLevel))
        Sink().Line(CategoryOf(aLevel), aMsg);
}

void TLog::O(TLogOutLevel aLevel, std::string_view aFormat, std::initializer_list<TFormatArg> aArgs)
{
    if (!Wanted(aLevel))
        return;
    try {
        Sink().Line(CategoryOf(aLevel), FormatText(aFormat, aArgs));
    } catch (const EFormatError&) {
        Sink().Line(CategoryOf(aLevel), std::string(aFormat) + "  [format error]");
    }
}

void TLog::O(TLogOutLevel aLevel, std::string_view aMsg, std::string_view aValue)
{
    if (Wanted(aLevel))
        Sink().Line(CategoryOf(aLevel), std::string(aMsg) + " = " + std::string(aValue));
}

void TLog::OutDateTime(TLogOutLevel aLevel, std::string_view aMsg, TDateTime aValue)
{
    if (Wanted(aLevel))
        Sink().Line(CategoryOf(aLevel), std::string(aMsg) + " = " + FormatDateTimeIso(aValue));
}

void TLog::MEnter(TLogOutLevel aLevel, std::string_view aMsg)
{
    if (Wanted(aLevel))
        Sink().Enter(CategoryOf(aLevel), aMsg);
}

void TLog::MExit(TLogOutLevel aLevel, std::string_view aMsg)
{
    if (Wanted(aLevel))
        Sink().Exit(CategoryOf(aLevel), aMsg);
}

void TLog::AddSeparator(TLogOutLevel aLevel)
{
    if (Wanted(aLevel))
        Sink().Separator(CategoryOf(aLevel));
}

std::unique_ptr<ILogMethodEnterExit> TLog::MEnterExit(TLogOutLevel aEnterLevel, TLogOutLevel aExitLevel,
                                                      std::string aName)
{
    return std::make_unique<TLogMethodEnterExit>(aEnterLevel, aExitLevel, std::move(aName));
}

void TLog::M(TLogOutLevel aEnterLevel, TLogOutLevel aExitLevel, std::string aName,
             const std::function<void()>& aProc)
{
    auto trace = MEnterExit(aEnterLevel, aExitLevel, std::move(aName));
    if (aProc)
        aProc();
}

void TLog::UpdateCurrentThreadName(std::string_view aName)
{
    std::string name(aName);
    TLogSink::SetThreadName(FormatText("%s[%u]", {name, static_cast<unsigned>(::gettid())}));
    // The kernel keeps 15 bytes; cut at a character boundary for debuggers.
    std::size_t cut = std::min<std::size_t>(name.size(), 15);
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    pthread_setname_np(pthread_self(), name.substr(0, cut).c_str());
}

void TLog::Start(const TArguments& aArgs)
{
    UpdateCurrentThreadName("主线程");
    const auto settings = ReadLogSettings(TIniFile::LoadFromFile(ProgramFolder() / kBaseConfigFileName), aArgs);
    // No folder is made while logging is off.
    Start(settings, settings.Mode == TLogMode::Null ? std::filesystem::path()
                                                    : ChooseFolder(ProgramFolder(), UserStateFolder()));
}

void TLog::Start(const TLogSettings& aSettings, const std::filesystem::path& aFolder)
{
    gMode.store(0, std::memory_order_relaxed);
    Sink().Close();
    if (aSettings.Mode != TLogMode::Null &&
        Sink().Open(aFolder, aSettings.Mode == TLogMode::FileAndView))
        gMode.store(static_cast<uint8_t>(aSettings.Mode), std::memory_order_relaxed);
    gThreshold.store(aSettings.Level, std::memory_order_relaxed);
    if (gMode.load(std::memory_order_relaxed) != 0) {
        Sink().Separator(TLogCategory::Info, true);
        Sink().Line(TLogCategory::Info, "Log 启动");
    }
}

void TLog::Finish()
{
    if (gMode.load(std::memory_order_relaxed) != 0)
        Sink().Line(TLogCategory::Info, "Log 结束");
    gMode.store(0, std::memory_order_relaxed);
    Sink().Close();
}

TLogSettings TLog::Settings()
{
    return {static_cast<TLogMode>(gMode.load(std::memory_order_relaxed)),
            static_cast<TLogOutLevel>(gThreshold.load(std::memory_order_relaxed))};
}

void TLog::SetThreshold(TLogOutLevel aLevel)
{
    gThreshold.store(aLevel, std::memory_order_relaxed);
}

std::filesystem::path TLog::CurrentFile()
{
    return Sink().IsOpen() ? Sink().FilePath() : std::filesystem::path();
}

std::filesystem::path TLog::ChooseFolder(const std::filesystem::path& aProgramFolder,
                                        const std::filesystem::path& aStateFolder)
{
    auto beside = aProgramFolder / "Log";
    if (Writable(beside))
        return beside;
    // Logs name addresses and servers: our own folder is private. An
    // existing folder keeps the mode it has.
    std::error_code ec;
    std::filesystem::create_directories(aStateFolder, ec);
    const auto own = aStateFolder / "quillmar";
    ::mkdir(own.c_str(), 0700);
    std::filesystem::create_directories(own / "Log", ec);
    return own / "Log";
}
