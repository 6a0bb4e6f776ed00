#include "EncryDes.h"

#include "Runtime/Errors.h"
#include "Runtime/Hex.h"
#include "Runtime/TextConvert.h"

#include <nettle/des.h>

std::string EncryDes(const std::string& aText)
{
    std::u16string units = Utf8ToUtf16(aText);
    if (!units.empty() && units.back() == 0)
        throw Exception("Error: the last char is NULL char.");
    const std::size_t pad = 8 - units.size() % 8;
    units.append(pad, static_cast<char16_t>(pad));

    static const uint8_t kKey[DES_KEY_SIZE] = {'H', 'x', '3', 'v', 'N', '9', 'p', 'K'};
    des_ctx ctx;
    des_set_key(&ctx, kKey);

    std::string out = "2";
    out.reserve(1 + units.size() * 2);
    for (std::size_t block = 0; block < units.size(); block += DES_BLOCK_SIZE) {
        uint8_t in[DES_BLOCK_SIZE], cipher[DES_BLOCK_SIZE];
        for (std::size_t i = 0; i < DES_BLOCK_SIZE; ++i)
            in[i] = static_cast<uint8_t>(units[block + i] & 0xFF);
        des_encrypt(&ctx, DES_BLOCK_SIZE, cipher, in);
        for (uint8_t b : cipher)
            AppendHexByte(out, b);
    }
    return out;
}
