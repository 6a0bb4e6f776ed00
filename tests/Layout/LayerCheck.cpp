#include "LayerCheck.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string_view>

namespace fs = std::filesystem;

namespace {

constexpr int kUiLevel = 8;

// Runtime < Resource, Http, Html < Data < Mime < Account < AccountMail
// < the mail road and the other domains < Business < the skin layer
// < the screens < the programs. The raw mail is a message being composed:
// signatures and templates keep their content in it, and it needs no
// account, so it stands with Mime.
constexpr TFloor kFloors[] = {
    {"Runtime", 0},
    {"Business/Resource", 1},
    {"Business/Http", 1},
    {"Business/Html", 1},
    {"Business/Data", 2},
    {"Business/Mime", 3},
    {"Business/AccountMail/MailRaw", 3},
    {"Business/Account", 4},
    {"Business/AccountMail", 5},
    {"Business/Server", 6},
    {"Business/Server/Mail", 6},
    {"Business/Server/Norvel", 6},
    {"Business/Rules", 6},
    {"Business/Contacts", 6},
    {"Business/Marketing", 6},
    {"Business/Update", 6},
    {"Business", 7, false},   // TBusiness; a new domain folder needs its own line
    {"Ui/Utils", kUiLevel},
    {"Ui", 9},
    {"App", 10},
};

struct TPlaced {
    std::string Path;
    int Level;
};

// The entry that names aFile (relative to the root, extension dropped), or
// the deepest folder entry above it.
std::optional<TPlaced> FloorOf(const fs::path& aFile, std::span<const TFloor> aFloors)
{
    const std::string stem = (aFile.parent_path() / aFile.stem()).generic_string();
    std::optional<TPlaced> best;
    for (const TFloor& floor : aFloors) {
        const std::string path = floor.Path;
        const bool inside = stem.rfind(path + "/", 0) == 0 &&
                            (floor.Deep || stem.find('/', path.size() + 1) == std::string::npos);
        const bool names = stem == path || inside;
        if (names && (!best || path.size() > best->Path.size()))
            best = TPlaced{path, floor.Level};
    }
    return best;
}

struct TInclude {
    char Open = 0;   // '"' or '<'
    std::string Name;
};

// The name of an #include line, as the preprocessor reads one.
std::optional<TInclude> IncludeOf(std::string_view aLine)
{
    const auto skipBlanks = [&] {
        while (!aLine.empty() && (aLine.front() == ' ' || aLine.front() == '\t'))
            aLine.remove_prefix(1);
    };
    skipBlanks();
    if (aLine.empty() || aLine.front() != '#')
        return std::nullopt;
    aLine.remove_prefix(1);
    skipBlanks();
    if (aLine.rfind("include", 0) != 0)
        return std::nullopt;
    aLine.remove_prefix(7);
    skipBlanks();
    if (aLine.empty() || (aLine.front() != '"' && aLine.front() != '<'))
        return std::nullopt;
    const char open = aLine.front();
    const auto close = aLine.find(open == '"' ? '"' : '>', 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    return TInclude{open, std::string(aLine.substr(1, close - 1))};
}

bool IsQtHeader(const std::string& aName)
{
    return aName.size() > 1 && aName[0] == 'Q' && aName.find('.') == std::string::npos;
}

bool IsSource(const fs::path& aFile)
{
    const std::string ext = aFile.extension().string();
    return ext == ".h" || ext == ".hpp" || ext == ".cpp";
}

} // namespace

std::span<const TFloor> ProgramFloors()
{
    return kFloors;
}

std::vector<std::string> LayerViolations(const fs::path& aSourceRoot, std::span<const TFloor> aFloors)
{
    std::vector<std::string> violations;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(aSourceRoot))
        if (entry.is_regular_file() && IsSource(entry.path()))
            files.push_back(fs::relative(entry.path(), aSourceRoot));
    std::sort(files.begin(), files.end());

    for (const fs::path& file : files) {
        const std::string name = file.generic_string();
        const auto floor = FloorOf(file, aFloors);
        if (!floor) {
            violations.push_back(name + ": on no floor (add its folder to the floor table)");
            continue;
        }
        std::ifstream in(aSourceRoot / file);
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            const std::string where = name + ":" + std::to_string(number) + ": ";
            const auto include = IncludeOf(line);
            if (!include)
                continue;
            if (include->Open == '<') {
                if (IsQtHeader(include->Name) && floor->Level < kUiLevel)
                    violations.push_back(where + "includes the Qt header <" + include->Name +
                                         "> below the user interface");
                continue;
            }
            // As the compiler looks: beside the file first, then from src/.
            fs::path target = file.parent_path() / include->Name;
            std::error_code ec;
            if (!fs::is_regular_file(aSourceRoot / target, ec))
                target = include->Name;
            if (!fs::is_regular_file(aSourceRoot / target, ec)) {
                violations.push_back(where + "includes \"" + include->Name + "\", which is no file of the tree");
                continue;
            }
            target = target.lexically_normal();
            const auto targetFloor = FloorOf(target, aFloors);
            if (!targetFloor) {
                violations.push_back(where + "includes " + target.generic_string() + ", which is on no floor");
                continue;
            }
            if (targetFloor->Level > floor->Level)
                violations.push_back(where + "includes " + target.generic_string() + " (" + targetFloor->Path +
                                     ") from below (" + floor->Path + ")");
        }
    }
    return violations;
}
