#include "ProductImageFiles.h"

#include "Business/Data/DataFolder.h"
#include "Runtime/Errors.h"
#include "Runtime/FileSync.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"
#include "Runtime/TextFormat.h"

#include <array>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The first bytes of a file; as many as there are, up to the count.
std::string FileHead(const fs::path& aPath, std::size_t aCount)
{
    std::ifstream in(aPath, std::ios::binary);
    if (!in)
        return {};
    std::string head(aCount, '\0');
    in.read(head.data(), static_cast<std::streamsize>(aCount));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

bool SameFile(const fs::path& a, const fs::path& b)
{
    if (a.lexically_normal() == b.lexically_normal())
        return true;
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

} // namespace

fs::path ProductImageFolder()
{
    return CurrentDataPath() / "Product" / "Image";
}

fs::path ProductImageFileName(const std::string& aImageId)
{
    if (!IsGuidId(aImageId))
        throw Exception("产品图片ID无效：" + aImageId);
    return ProductImageFolder() / aImageId;
}

bool HasPictureSignature(std::string_view aHead)
{
    auto startsWith = [&](std::string_view aMagic) { return aHead.substr(0, aMagic.size()) == aMagic; };
    return startsWith(std::string_view("\x89PNG\r\n\x1a\n", 8)) || startsWith("\xFF\xD8\xFF") ||
           startsWith("GIF87a") || startsWith("GIF89a") || (startsWith("BM") && aHead.size() >= 14) ||
           (startsWith("RIFF") && aHead.size() >= 12 && aHead.substr(8, 4) == "WEBP");
}

TProductImageCopies::~TProductImageCopies()
{
    for (const auto& path : FCreated) {
        std::error_code ec;
        fs::remove(path, ec);
    }
}

fs::path TProductImageCopies::CopyIn(const std::string& aImageId, const fs::path& aSourceFile)
{
    const fs::path stored = ProductImageFileName(aImageId);
    if (SameFile(aSourceFile, stored))
        return stored;
    if (!HasPictureSignature(FileHead(aSourceFile, 16)))
        throw Exception(FormatText(kNotPicture, {aSourceFile.string()}));

    CreatePrivateFolder(stored.parent_path());
    std::error_code ec;
    const bool existed = fs::exists(stored, ec);
    fs::path part = stored;
    part += ".part";
    try {
        if (!fs::copy_file(aSourceFile, part, fs::copy_options::overwrite_existing, ec) || ec)
            throw Exception(FormatText(kCannotCopy, {aSourceFile.string(), ec.message()}));
        SyncFile(part);
        fs::rename(part, stored, ec);
        if (ec)
            throw Exception(FormatText(kCannotCopy, {aSourceFile.string(), ec.message()}));
    } catch (...) {
        std::error_code ignored;
        fs::remove(part, ignored);
        throw;
    }
    if (!existed)
        FCreated.push_back(stored);
    FCopied = true;
    return stored;
}

void TProductImageCopies::Sync()
{
    if (FCopied)
        SyncFolder(ProductImageFolder());
}

void RemoveProductImageFiles(const std::vector<std::string>& aImageIds) noexcept
{
    for (const auto& id : aImageIds) {
        try {
            std::error_code ec;
            fs::remove(ProductImageFileName(id), ec);
            if (ec)
                TLog::O(lolWorn, "不能删除产品图片文件 %s：%s", {id, ec.message()});
        } catch (const std::exception& e) {
            TLog::O(lolWorn, "不能删除产品图片文件：%s", {e.what()});
        }
    }
}
