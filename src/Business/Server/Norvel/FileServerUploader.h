// IFileServerUploader: puts one file on the maker's file server.
//
// The file server takes a multipart/form-data POST at its configured
// address: the field "folder" (the remote folder) and one file part. It
// answers with a JSON object naming the stored file ("guId", "fileName",
// "fileSize"), which the callers read or forward as it is.
//
// TRcFileServerUploader does this through the HTTP module: the file is
// streamed from disk, progress counts are 64-bit, and Cancel from any
// thread ends a running upload at once. One object per job: a cancelled
// uploader stays cancelled.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "Business/Http/HttpRequest.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"
#include "Runtime/Runable.h"

// Bytes sent so far and bytes to send (0 while unknown).
using TUploadProgress = std::function<void(int64_t aSent, int64_t aTotal)>;

class IFileServerUploader : public virtual IRunableCancel {
public:
    // The remote folder of every upload of the program.
    static constexpr const char* kRemoteFolder = "./dev/";

    // Blocks until the upload ends. The server's reply text, or an empty
    // text on failure (GetLastError and GetLastErrorMessage then say why).
    // aFileName is the name the server is told (empty: aFile's own name).
    virtual std::string UploadFile(const std::string& aServerAddress, const std::string& aRemoteFolder,
                                   const std::filesystem::path& aFile, const TUploadProgress& aProgress,
                                   const std::string& aFileName = {}) = 0;
    // 0 after a success; the HTTP status of a refused reply; libcurl's
    // code of a transport failure; kCancelled, or kFileError for a file
    // that cannot be read.
    virtual int GetLastError() const = 0;
    virtual std::string GetLastErrorMessage() const = 0;

    static constexpr int kCancelled = -1;
    static constexpr int kFileError = -2;
};

// The URL of a configured file-server address (host[:port][/path]):
// "http://" in front unless it names its scheme already.
std::string FileServerUrl(const std::string& aServerAddress);

class TRcFileServerUploader : public TRcObject, public IFileServerUploader {
public:
    explicit TRcFileServerUploader(THttpOptions aOptions = {});

    std::string UploadFile(const std::string& aServerAddress, const std::string& aRemoteFolder,
                           const std::filesystem::path& aFile, const TUploadProgress& aProgress,
                           const std::string& aFileName = {}) override;
    int GetLastError() const override { return FLastError; }
    std::string GetLastErrorMessage() const override { return FLastErrorMessage; }
    void Cancel() override;

private:
    TRcRef<THttpRequest> FHttp;
    int FLastError = 0;
    std::string FLastErrorMessage;
};
