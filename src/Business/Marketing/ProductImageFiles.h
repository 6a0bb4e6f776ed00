// The files of the catalogue's pictures: Product/Image/ under the data
// folder, one file per picture named by its id, without extension (the
// screens load them by content). Pictures come in from wherever the user
// picked them; only real picture files are taken.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The image folder of this run's data folder.
std::filesystem::path ProductImageFolder();
// The stored file of a picture; an id that is not 32 hex digits raises
// (it would name something else than one file of the folder).
std::filesystem::path ProductImageFileName(const std::string& aImageId);

// Whether the first bytes of a file are those of a PNG, JPEG, GIF, BMP or
// WebP picture.
bool HasPictureSignature(std::string_view aHead);

// Copies chosen pictures into the image folder before the rows that name
// them are written. Each copy goes to a temporary name, is synced and then
// renamed over the stored file, and the folder is synced, so a row never
// names a half-written picture. Unless Keep is called, the destructor
// removes the files this object created (the rows were not written).
class TProductImageCopies {
public:
    static constexpr const char* kNotPicture = "不是图片文件（只能用 PNG、JPEG、GIF、BMP 或 WebP 图片）：%s";
    static constexpr const char* kCannotCopy = "不能复制图片文件 %s：%s";

    TProductImageCopies() = default;
    ~TProductImageCopies();
    TProductImageCopies(const TProductImageCopies&) = delete;
    TProductImageCopies& operator=(const TProductImageCopies&) = delete;

    // Stores aSourceFile as the picture aImageId, unless it is that very
    // file already. Raises, having copied nothing for this picture, when
    // the source is not a picture or cannot be copied. Returns the stored
    // file's name.
    std::filesystem::path CopyIn(const std::string& aImageId, const std::filesystem::path& aSourceFile);
    // Makes the copies' names durable (the folder's sync).
    void Sync();
    // The rows are written: the copies stay.
    void Keep() { FCreated.clear(); }

private:
    std::vector<std::filesystem::path> FCreated;
    bool FCopied = false;
};

// Removes the stored files of pictures whose rows are gone; a missing file
// is fine. Logs and swallows failures: the rows are committed already, and
// a file left over names nothing.
void RemoveProductImageFiles(const std::vector<std::string>& aImageIds) noexcept;
