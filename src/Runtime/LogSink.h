// Where wanted log lines go: a ".csl" text file, one line per record, and
// in the viewing mode a copy of each line on stderr.
//
// A line: "yyyy-mm-dd hh:nn:ss.zzz L thread  text", L being E, W, I or D.
// Enter and exit records are "-> name" and "<- name"; what a thread logs
// between them is indented by two blanks per open record.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "FileHandle.h"

enum class TLogCategory : char { Error = 'E', Warning = 'W', Info = 'I', Debug = 'D' };

class TLogSink {
public:
    static constexpr std::size_t kMaxFileBytes = 10240 * 1024;

    // Opens (for appending: two starts within one second share a name)
    // "yyyymmddhhnnss.csl" in aFolder, creating the folder. Returns false,
    // leaving the sink off, when the file cannot be opened.
    bool Open(const std::filesystem::path& aFolder, bool aMirrorToStderr);
    void Close();
    bool IsOpen() const;
    std::filesystem::path FilePath() const;

    void Line(TLogCategory aCategory, std::string_view aText);
    void Enter(TLogCategory aCategory, std::string_view aName);
    void Exit(TLogCategory aCategory, std::string_view aName);
    void Separator(TLogCategory aCategory, bool aReset = false);

    static void SetThreadName(std::string aName);
    static const std::string& ThreadName();

private:
    void Write(TLogCategory aCategory, int aIndent, std::string_view aText);
    void RollOverLocked();

    mutable std::mutex FMutex;
    TFileHandle FFile;
    std::filesystem::path FPath;
    std::size_t FSize = 0;
    int FRollCount = 0;
    bool FMirror = false;
};
