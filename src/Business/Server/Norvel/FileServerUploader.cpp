#include "FileServerUploader.h"

#include "Runtime/Log.h"

#include <system_error>

std::string FileServerUrl(const std::string& aServerAddress)
{
    const auto scheme = aServerAddress.find("://");
    if (scheme != std::string::npos && aServerAddress.find_first_of("/?#") > scheme)
        return aServerAddress;
    std::string url = "http://";
    url.append(aServerAddress);
    return url;
}

TRcFileServerUploader::TRcFileServerUploader(THttpOptions aOptions) : FHttp(MakeRc<THttpRequest>(std::move(aOptions)))
{
}

void TRcFileServerUploader::Cancel()
{
    FHttp->Cancel();
}

std::string TRcFileServerUploader::UploadFile(const std::string& aServerAddress, const std::string& aRemoteFolder,
                                              const std::filesystem::path& aFile, const TUploadProgress& aProgress,
                                              const std::string& aFileName)
{
    FLastError = 0;
    FLastErrorMessage.clear();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(aFile, ec)) {
        FLastError = kFileError;
        FLastErrorMessage = "no such file: " + aFile.string();
        return {};
    }
    FHttp->Options().Progress = aProgress;
    const THttpResult result = FHttp->PostForm(FileServerUrl(aServerAddress),
                                               {THttpField::Plain("folder", aRemoteFolder)},
                                               {THttpFilePart{"file", aFile, aFileName, {}}});
    FHttp->Options().Progress = nullptr;
    if (result.Ok)
        return result.Body;
    if (result.Cancelled)
        FLastError = kCancelled;
    else if (result.Status != 0 && (result.Status < 200 || result.Status > 299))
        FLastError = static_cast<int>(result.Status);
    else if (result.CurlCode != 0)
        FLastError = result.CurlCode;
    else
        FLastError = kFileError;
    FLastErrorMessage = result.Error;
    TLog::O(lolWorn, "上传文件失败(%d)：%s", {FLastError, FLastErrorMessage});
    return {};
}
