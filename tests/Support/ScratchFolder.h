// A folder of a test's own, made with mkdtemp and removed with everything
// in it when the object goes. Tests never write into the work tree: the
// folder lies under the system's temp folder ($TMPDIR, else /tmp) unless
// the test names another parent (a short one for Unix sockets, the build
// tree for hard links).
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

class TScratchFolder {
public:
    explicit TScratchFolder(std::string_view aPrefix = "qm-test", const std::filesystem::path& aParent = {})
    {
        std::filesystem::path parent = aParent;
        if (parent.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            parent = tmp && *tmp ? tmp : "/tmp";
        }
        std::error_code ec;
        std::filesystem::create_directories(parent, ec);
        std::string pattern = (parent / (std::string(aPrefix) + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a scratch folder " + pattern + ": " + std::strerror(errno));
        FPath = pattern;
    }
    ~TScratchFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};
