// The maker's file server: uploads of whole mails and of big attachments,
// and the download links written into mails.
//
//   POST /fileServer   multipart: field "folder" (the remote folder, "./dev/"),
//                      then one file part; the file is stored under an id the
//                      server makes
//                      → {"guId": id, "fileName": the part's file name,
//                         "fileSize": bytes}
//   GET  /fileServer?do=d&id=ID&realName=NAME[&...]
//                      the stored file, streamed; 404 for an unknown id
//
// The client's file name is only echoed back, never used as a path.
#include "FakeMakerServer.h"

#include <stdexcept>

namespace {

std::string QueryValue(const TFakeRequest& aRequest, const std::string& aName)
{
    for (const auto& [name, value] : aRequest.Query)
        if (name == aName)
            return value;
    return {};
}

} // namespace

void RegisterFileServerRoutes(TFakeMakerServer& aServer)
{
    TFakeMakerServer* server = &aServer;
    server->AddUploadRoute("/fileServer", [](const TFakeRequest& aRequest) {
        if (!aRequest.Field("folder"))
            throw std::invalid_argument("no remote folder");
        const TFakePart* file = nullptr;
        for (const auto& part : aRequest.Parts)
            if (part.StoredId) {
                if (file)
                    throw std::invalid_argument("one file per upload");
                file = &part;
            }
        if (!file)
            throw std::invalid_argument("no file part");
        return TFakeReply::Json({{"guId", *file->StoredId}, {"fileName", file->FileName.value_or("")},
                                 {"fileSize", file->StoredSize}});
    });
    server->AddRoute("GET", "/fileServer", [server](const TFakeRequest& aRequest) {
        TFakeReply reply;
        const auto stored = QueryValue(aRequest, "do") == "d" ? server->StoredFile(QueryValue(aRequest, "id"))
                                                                : std::nullopt;
        if (!stored) {
            reply.Status = 404;
            reply.ContentType = "text/plain";
            reply.Body = "no such file";
            return reply;
        }
        reply.ContentType = "application/octet-stream";
        reply.File = *stored;
        return reply;
    });
}
