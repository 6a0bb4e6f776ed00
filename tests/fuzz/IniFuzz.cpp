// INI text from strangers (the secretaries' exchange files come as mail
// attachments): any bytes load, in any of the encodings the reader
// guesses, and every value the reader finds can be read back through the
// lookups without a crash or a hang.
#include "FuzzEntry.h"

#include "Runtime/IniFile.h"

#include <cstdlib>
#include <string_view>

QUILLMAR_FUZZ_ENTRY(FuzzIni)
{
    const std::string_view bytes(reinterpret_cast<const char*>(aData), aSize);
    const TIniFile ini = TIniFile::LoadFromText(bytes);
    for (const auto& section : ini.Sections()) {
        if (!ini.SectionExists(section.Name))
            std::abort();
        for (const auto& entry : section.Entries) {
            // A lookup finds the first of that name, which exists.
            if (!ini.Find(section.Name, entry.Key))
                std::abort();
            ini.ReadInteger(section.Name, entry.Key, 7);
            ini.ReadBool(section.Name, entry.Key, false);
        }
        ini.ReadSectionValues(section.Name);
    }
    ini.ReadString("SecretaryInfo", "mailResId", "");
    DecodeTextToUtf8(bytes);
    StrToBoolDef(bytes.substr(0, 64), true);
    return 0;
}
