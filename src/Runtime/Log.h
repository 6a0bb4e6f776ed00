// TLog: the one facade for diagnostic output.
//
// Mode and threshold are read once at start-up (section "Log" of the base
// configuration file, then the command line) and not changed afterwards, so
// deciding whether a level is wanted costs one comparison and no string is
// built for an unwanted line. Wrap expensive text in D or I.
//
// Phases and long operations are traced with MEnterExit (enter Info, exit
// Debug): with Debug wanted they write an enter and a matching exit record,
// with only Info wanted a single plain line on entry.
#pragma once

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "CommandLine.h"
#include "DateTime.h"
#include "LogSettings.h"
#include "TextFormat.h"

class ILogMethodEnterExit {
public:
    virtual ~ILogMethodEnterExit() = default;
    // Appended to the exit record as "name  |  tag".
    virtual void SetExitTag(std::string aTag) = 0;
};

class TLogMethodEnterExit final : public ILogMethodEnterExit {
public:
    TLogMethodEnterExit(TLogOutLevel aEnterOutLevel, TLogOutLevel aExitOutLevel, std::string aName);
    ~TLogMethodEnterExit() override;
    TLogMethodEnterExit(const TLogMethodEnterExit&) = delete;
    TLogMethodEnterExit& operator=(const TLogMethodEnterExit&) = delete;
    void SetExitTag(std::string aTag) override { FTag = std::move(aTag); }

private:
    std::string FName;
    std::string FTag;
    TLogOutLevel FExitLevel;
    // 1 nothing logged on entry, 2 a plain line, 3 an enter record whose
    // exit record is due.
    int FEnterFlag;
};

class TLog {
public:
    static bool Wanted(TLogOutLevel aLevel);

    static void O(TLogOutLevel aLevel, std::string_view aMsg);
    // A format error is logged with the raw format, never thrown.
    static void O(TLogOutLevel aLevel, std::string_view aFormat, std::initializer_list<TFormatArg> aArgs);
    static void O(TLogOutLevel aLevel, std::string_view aMsg, std::string_view aValue);
    static void OutDateTime(TLogOutLevel aLevel, std::string_view aMsg, TDateTime aValue);
    static void MEnter(TLogOutLevel aLevel, std::string_view aMsg);
    static void MExit(TLogOutLevel aLevel, std::string_view aMsg);
    static void AddSeparator(TLogOutLevel aLevel);

    [[nodiscard]] static std::unique_ptr<ILogMethodEnterExit> MEnterExit(TLogOutLevel aEnterLevel,
                                                                         TLogOutLevel aExitLevel,
                                                                         std::string aName);
    static void M(TLogOutLevel aEnterLevel, TLogOutLevel aExitLevel, std::string aName,
                  const std::function<void()>& aProc);
    static void Mdd(std::string aName, const std::function<void()>& aProc) { M(lolDebug, lolDebug, std::move(aName), aProc); }
    static void Mid(std::string aName, const std::function<void()>& aProc) { M(lolInfo, lolDebug, std::move(aName), aProc); }
    static void Mii(std::string aName, const std::function<void()>& aProc) { M(lolInfo, lolInfo, std::move(aName), aProc); }

    template <class F>
    static void D(F&& aProc) { if (Wanted(lolDebug)) aProc(); }
    template <class F>
    static void I(F&& aProc) { if (Wanted(lolInfo)) aProc(); }

    // Names the calling thread in every line it logs: "name[tid]".
    static void UpdateCurrentThreadName(std::string_view aName);

    // Start-up: names this thread "主线程", reads the settings from the base
    // configuration beside the program and from aArgs, opens the log file
    // and writes "Log 启动".
    static void Start(const TArguments& aArgs);
    // The same with explicit settings and log folder (tests, tools).
    static void Start(const TLogSettings& aSettings, const std::filesystem::path& aFolder);
    // Writes "Log 结束" and closes the file.
    static void Finish();

    static TLogSettings Settings();
    // Lowers (or raises) the threshold after start-up: the debug switch.
    static void SetThreshold(TLogOutLevel aLevel);
    static std::filesystem::path CurrentFile();   // empty when off

    // "<program folder>/Log", or "<state folder>/quillmar/Log" when the
    // program folder cannot be written (an installed, read-only program).
    static std::filesystem::path ChooseFolder(const std::filesystem::path& aProgramFolder,
                                              const std::filesystem::path& aStateFolder);
};
