#include "DataFolderClear.h"

#include "Runtime/ProgramPaths.h"

#include <array>
#include <string>
#include <string_view>

namespace {

// Every item of the data folder's layout.
constexpr std::array kDataItems = {
    "Accounts",  "Product", "Templates",      "Letter",              "Update",          "Temp",
    "4.0.1",     kBaseConfigFileName,         "TranslateLanguage.ini", "ProductCategory.ini",
    "CustomerLevel.ini", "Template.ini",
};

bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

} // namespace

std::vector<std::filesystem::path> ClearDataFolderItems(const std::filesystem::path& aDataFolder,
                                                        const std::filesystem::path& aProgramFolder,
                                                        std::vector<std::string>& aFailures)
{
    std::vector<std::filesystem::path> removed;
    const bool besideProgram = SameFolder(aDataFolder, aProgramFolder);
    std::vector<std::string> items;
    for (const char* item : kDataItems) {
        if (besideProgram && std::string_view(item) == kBaseConfigFileName)
            continue;
        items.emplace_back(item);
        // Settings files have a lock file beside them for their writers.
        const std::string_view name(item);
        if (name.ends_with(".cfg") || name.ends_with(".ini"))
            items.push_back(items.back() + ".lock");
    }
    for (const std::string& item : items) {
        const auto path = aDataFolder / item;
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
            continue;
        // remove_all does not follow symbolic links: a linked folder's
        // target is left alone.
        std::filesystem::remove_all(path, ec);
        if (ec)
            aFailures.push_back(path.string() + ": " + ec.message());
        else
            removed.push_back(path);
    }
    return removed;
}
