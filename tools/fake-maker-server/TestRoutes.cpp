// Routes that only the HTTP module's own tests and benchmarks use.
//
//   GET /__test/bytes?size=N   N bytes (at most 256 MiB), byte i being
//                              'a' + i % 26, so a download can be checked
//                              without keeping a copy
//   POST /__test/bytes?size=N  the same, whatever the body; as a redirect
//                              target it records a re-sent form as well as
//                              a GET
#include "FakeMakerServer.h"

#include <stdexcept>

void RegisterTestRoutes(TFakeMakerServer& aServer)
{
    const auto bytes = [](const TFakeRequest& aRequest) {
        constexpr unsigned long long kMax = 256ull * 1024 * 1024;
        unsigned long long size = 0;
        for (const auto& [name, value] : aRequest.Query)
            if (name == "size")
                size = std::stoull(value);
        if (size > kMax)
            throw std::invalid_argument("size over 256 MiB");
        TFakeReply reply;
        reply.ContentType = "application/octet-stream";
        reply.Body.resize(size);
        for (unsigned long long i = 0; i < size; ++i)
            reply.Body[i] = static_cast<char>('a' + i % 26);
        return reply;
    };
    aServer.AddRoute("GET", "/__test/bytes", bytes);
    aServer.AddRoute("POST", "/__test/bytes", bytes);
}
