// make_system_stationery FOLDER: writes the system stationery into the
// program folder FOLDER: SysTemplates/Templates.db with one folder per
// template (page, preview, pictures) and SysLetter/Letter.db with the
// letters' pictures. Everything is made here: the pages are short HTML,
// the pictures small PNG files drawn from colour ramps.
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The create statements of the two index tables, as the client makes them.
constexpr const char* kTemplateTable = "create table [Template] (    [Id] text primary key  , [Type] integer  , [Language] integer  , [Name] text  , [PreviewFileName] text  , [IndexFileName] text  , [SystemFlag] integer  , [Order] integer)";
constexpr const char* kLetterTable = "create table [Letter] ([Id] text  primary key,[Type] Integer,[Name] text,[FileName] text,[Order] integer)";

struct TRgb {
    uint8_t R, G, B;
};

uint32_t Crc32(const std::string& aBytes)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : aBytes)
        c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void PutBig32(std::string& aOut, uint32_t aValue)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        aOut.push_back(static_cast<char>((aValue >> shift) & 0xFF));
}

void Chunk(std::string& aPng, const char* aType, const std::string& aData)
{
    PutBig32(aPng, static_cast<uint32_t>(aData.size()));
    std::string body = aType;
    body += aData;
    aPng += body;
    PutBig32(aPng, Crc32(body));
}

// A zlib stream of stored (uncompressed) blocks: no compressor needed.
std::string ZlibStored(const std::string& aRaw)
{
    std::string out = "\x78\x01";
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, aRaw.size() - at);
        const bool last = at + n == aRaw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<char>(n & 0xFF));
        out.push_back(static_cast<char>(n >> 8));
        out.push_back(static_cast<char>(~n & 0xFF));
        out.push_back(static_cast<char>((~n >> 8) & 0xFF));
        out.append(aRaw, at, n);
        at += n;
    } while (at < aRaw.size());
    uint32_t a = 1, b = 0;
    for (unsigned char c : aRaw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    PutBig32(out, (b << 16) | a);
    return out;
}

// An RGB picture whose colour at (x, y) aPixel gives.
std::string Png(int aWidth, int aHeight, const std::function<TRgb(int, int)>& aPixel)
{
    std::string raw;
    for (int y = 0; y < aHeight; ++y) {
        raw.push_back(0);   // no filter
        for (int x = 0; x < aWidth; ++x) {
            const TRgb c = aPixel(x, y);
            raw.push_back(static_cast<char>(c.R));
            raw.push_back(static_cast<char>(c.G));
            raw.push_back(static_cast<char>(c.B));
        }
    }
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    PutBig32(header, static_cast<uint32_t>(aWidth));
    PutBig32(header, static_cast<uint32_t>(aHeight));
    header += std::string("\x08\x02\x00\x00\x00", 5);   // 8 bits, RGB
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", ZlibStored(raw));
    Chunk(png, "IEND", {});
    return png;
}

// A vertical ramp from aTop to aBottom.
std::string Ramp(int aWidth, int aHeight, TRgb aTop, TRgb aBottom)
{
    return Png(aWidth, aHeight, [&](int, int y) {
        auto mix = [&](uint8_t a, uint8_t b) { return static_cast<uint8_t>(a + (b - a) * y / std::max(1, aHeight - 1)); };
        return TRgb{mix(aTop.R, aBottom.R), mix(aTop.G, aBottom.G), mix(aTop.B, aBottom.B)};
    });
}

void Write(const fs::path& aPath, const std::string& aBytes)
{
    fs::create_directories(aPath.parent_path());
    std::ofstream out(aPath, std::ios::binary | std::ios::trunc);
    out << aBytes;
    if (!out.flush())
        throw std::runtime_error("cannot write " + aPath.string());
}

class TDb {
public:
    explicit TDb(const fs::path& aPath)
    {
        fs::remove(aPath);
        if (sqlite3_open(aPath.c_str(), &FDb) != SQLITE_OK)
            throw std::runtime_error("cannot open " + aPath.string());
    }
    ~TDb() { sqlite3_close(FDb); }
    void Exec(const std::string& aSql)
    {
        if (sqlite3_exec(FDb, aSql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(FDb));
    }
    // aSql with text and integer values bound in order.
    void Insert(const char* aSql, const std::vector<std::string>& aTexts, const std::vector<int>& aPositions,
                const std::vector<int>& aIntegers)
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(FDb, aSql, -1, &statement, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(FDb));
        for (std::size_t i = 0; i < aTexts.size(); ++i)
            sqlite3_bind_text(statement, aPositions[i], aTexts[i].c_str(), -1, SQLITE_TRANSIENT);
        int position = 1;
        for (int value : aIntegers) {
            while (std::find(aPositions.begin(), aPositions.end(), position) != aPositions.end())
                ++position;
            sqlite3_bind_int(statement, position++, value);
        }
        const int rc = sqlite3_step(statement);
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(FDb));
    }

private:
    sqlite3* FDb = nullptr;
};

struct TTemplate {
    const char* Id;
    int Kind;   // 1 envelope, 2 content, 3 signature
    const char* Name;
    TRgb Top, Bottom;
    const char* Body;
};

const TTemplate kTemplates[] = {
    {"3C6B2F0E8A1D4B7C9E5F1A2B3C4D5E60", 1, "Letterhead", {32, 74, 135}, {90, 140, 200},
     "<p>Dear customer,</p>\n<p>&nbsp;</p>\n<p>Kind regards</p>"},
    {"4D7C3A1F9B2E4C8DAF601B2C3D4E5F71", 2, "Product news", {200, 90, 40}, {245, 190, 120},
     "<h2>New this season</h2>\n<p>We are pleased to present our latest products.</p>\n<ul><li>&nbsp;</li></ul>"},
    {"5E8D4B2A0C3F4D9EB0712C3D4E5F6082", 3, "Signature", {60, 120, 80}, {150, 200, 160},
     "<p>--<br>Sales department<br>Phone: &nbsp;<br>Web: &nbsp;</p>"},
};

struct TLetter {
    const char* Id;
    const char* Name;
    const char* FileName;
    TRgb Top, Bottom;
};

const TLetter kLetters[] = {
    {"6F9E5C3B1D404EA0C1823D4E5F607193", "Sky", "sky.png", {214, 232, 250}, {250, 252, 255}},
    {"7A0F6D4C2E514FB1D2934E5F607182A4", "Paper", "paper.png", {252, 246, 228}, {244, 236, 210}},
    {"8B107E5D3F6240C2E3A45F60718293B5", "Mint", "mint.png", {226, 246, 236}, {248, 255, 250}},
};

std::string Page(const TTemplate& aTemplate)
{
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>";
    page += aTemplate.Name;
    page += "</title></head>\n<body style=\"font-family: sans-serif\">\n<img src=\"band.png\" alt=\"\" "
            "style=\"width: 100%; height: 12px\">\n";
    page += aTemplate.Body;
    page += "\n</body></html>\n";
    return page;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PROGRAM_FOLDER\n", argv[0]);
        return 2;
    }
    try {
        const fs::path program = argv[1];
        const fs::path templates = program / "SysTemplates";
        const fs::path letters = program / "SysLetter";
        fs::remove_all(templates);
        fs::remove_all(letters);
        fs::create_directories(templates);
        fs::create_directories(letters);
        {
            TDb db(templates / "Templates.db");
            db.Exec(kTemplateTable);
            db.Exec("pragma user_version = 1");
            int order = 0;
            for (const TTemplate& t : kTemplates) {
                const fs::path folder = templates / t.Id;
                Write(folder / "index.html", Page(t));
                Write(folder / "preview.png", Ramp(96, 128, t.Top, t.Bottom));
                Write(folder / "band.png", Ramp(4, 12, t.Top, t.Bottom));
                db.Insert("insert into [Template] values (?, ?, ?, ?, ?, ?, ?, ?)",
                          {t.Id, t.Name, "preview.png", "index.html"}, {1, 4, 5, 6}, {t.Kind, 0, 1, ++order});
            }
        }
        TDb db(letters / "Letter.db");
        db.Exec(kLetterTable);
        db.Exec("pragma user_version = 1");
        int order = 0;
        for (const TLetter& l : kLetters) {
            Write(letters / l.FileName, Ramp(64, 256, l.Top, l.Bottom));
            db.Insert("insert into [Letter] values (?, ?, ?, ?, ?)", {l.Id, l.Name, l.FileName}, {1, 3, 4}, {1, ++order});
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_system_stationery: %s\n", e.what());
        return 1;
    }
    return 0;
}
