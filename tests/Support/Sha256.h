// The SHA-256 of a file, read in pieces, as lower-case hex: to compare big
// files without holding them.
#pragma once

#include <openssl/evp.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

inline std::string FileSha256(const std::filesystem::path& aFile)
{
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 unavailable");
    std::ifstream in(aFile, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + aFile.string());
    char buffer[1 << 16];
    while (in) {
        in.read(buffer, sizeof buffer);
        EVP_DigestUpdate(context.get(), buffer, static_cast<size_t>(in.gcount()));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

// A file of aSize bytes whose content depends on aSeed, written in pieces.
inline void WritePatternFile(const std::filesystem::path& aFile, uint64_t aSize, unsigned aSeed = 1)
{
    std::ofstream out(aFile, std::ios::binary | std::ios::trunc);
    std::string block(1 << 16, '\0');
    uint64_t state = aSeed * 0x9E3779B97F4A7C15ull + 1;
    for (uint64_t written = 0; written < aSize;) {
        for (char& c : block) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            c = static_cast<char>(state >> 56);
        }
        const uint64_t n = std::min<uint64_t>(block.size(), aSize - written);
        out.write(block.data(), static_cast<std::streamsize>(n));
        written += n;
    }
    if (!out)
        throw std::runtime_error("cannot write " + aFile.string());
}
