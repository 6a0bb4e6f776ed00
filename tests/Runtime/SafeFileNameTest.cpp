// Names from mail, the network or a row, hostile ones first, through the
// one rule that makes them safe to put on disk.
#include "Runtime/SafeFileName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool ValidUtf8(const std::string& aText)
{
    for (std::size_t i = 0; i < aText.size();) {
        const auto c = static_cast<unsigned char>(aText[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > aText.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(aText[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

TEST(SafeFileNameTest, HostileNamesBecomeOneHarmlessComponent)
{
    struct TCase {
        std::string Name;
        std::string Safe;
    } cases[] = {
        {"../../etc/passwd", "etc_passwd"},
        {"..\\..\\boot.ini", "boot.ini"},
        {"..", "fallback"},
        {".", "fallback"},
        {"...", "fallback"},
        {"", "fallback"},
        {"/", "fallback"},
        {".hidden", "hidden"},
        {".../.ssh/authorized_keys", "ssh_authorized_keys"},
        {"a/b/c.txt", "a_b_c.txt"},
        {"C:\\Users\\x\\report.pdf", "C:_Users_x_report.pdf"},
        {"name\r\nwith\tcontrols.txt", "name__with_controls.txt"},
        {std::string("nul\0byte.txt", 12), "nul_byte.txt"},
        {"del\x7f.txt", "del_.txt"},
        {"report. ", "report"},
        {"  spaced.doc", "spaced.doc"},
        {"<script>.html", "<script>.html"},
        {"报价单.xlsx", "报价单.xlsx"},
        {"Angebot für Müller.pdf", "Angebot für Müller.pdf"},
        {"📎 offer.pdf", "📎 offer.pdf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeFileName(c.Name, "fallback"), c.Safe) << c.Name;
}

TEST(SafeFileNameTest, LongNamesStopAtACharacterAndKeepTheirExtension)
{
    std::string hundred;
    for (int i = 0; i < 100; ++i)
        hundred += "报";   // 300 bytes
    const std::string chinese = SafeFileName(hundred, "f");
    EXPECT_LE(chinese.size(), kMaxFileNameBytes);
    EXPECT_EQ(chinese.size() % 3, 0u);
    EXPECT_TRUE(ValidUtf8(chinese));

    std::string chineseWithExtension;
    for (int i = 0; i < 100; ++i)
        chineseWithExtension += "价";
    chineseWithExtension += ".pdf";
    const std::string cut = SafeFileName(chineseWithExtension, "f");
    EXPECT_LE(cut.size(), kMaxFileNameBytes);
    EXPECT_TRUE(ValidUtf8(cut));
    EXPECT_EQ(cut.substr(cut.size() - 4), ".pdf");

    const std::string ascii = SafeFileName(std::string(300, 'a') + ".pdf", "f");
    EXPECT_EQ(ascii.size(), kMaxFileNameBytes);
    EXPECT_EQ(ascii.substr(ascii.size() - 4), ".pdf");
    EXPECT_EQ(SafeFileName(std::string(255, 'b'), "f"), std::string(255, 'b'));

    // The tries at a free name fit too, their number and extension whole.
    for (const std::string& full : {cut, ascii, std::string(255, 'b')}) {
        const std::string numbered = NumberedFileName(full, 12);
        EXPECT_LE(numbered.size(), kMaxFileNameBytes);
        EXPECT_TRUE(ValidUtf8(numbered));
        EXPECT_TRUE(numbered.ends_with(full.ends_with(".pdf") ? " (12).pdf" : " (12)")) << numbered;
    }
    EXPECT_EQ(NumberedFileName("x.sh", 0), "x.sh");
    EXPECT_EQ(NumberedFileName("x.sh", 1), "x (1).sh");
}

} // namespace
