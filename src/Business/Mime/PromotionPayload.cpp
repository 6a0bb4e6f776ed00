#include "PromotionPayload.h"

#include "Runtime/Errors.h"

#include <nettle/des.h>

namespace {

des_ctx Key()
{
    static const uint8_t kKey[DES_KEY_SIZE] = {'R', '5', 'T', '#', 'W', '9', '1', 'K'};
    des_ctx ctx;
    des_set_key(&ctx, kKey);
    return ctx;
}

} // namespace

std::string EncipherPromotion(std::string_view aHtml)
{
    if (!aHtml.empty() && aHtml.back() == '\0')
        throw Exception("Error: the last char is NULL char.");
    std::string plain(aHtml);
    if (plain.size() % DES_BLOCK_SIZE)
        plain.append(DES_BLOCK_SIZE - plain.size() % DES_BLOCK_SIZE, ' ');
    plain.append(DES_BLOCK_SIZE, '\x08');
    des_ctx ctx = Key();
    std::string out(plain.size(), '\0');
    des_encrypt(&ctx, plain.size(), reinterpret_cast<uint8_t*>(out.data()), reinterpret_cast<const uint8_t*>(plain.data()));
    return out;
}

std::string DecipherPromotion(std::string_view aPayload)
{
    const std::size_t whole = aPayload.size() - aPayload.size() % DES_BLOCK_SIZE;
    des_ctx ctx = Key();
    std::string out(whole, '\0');
    des_decrypt(&ctx, whole, reinterpret_cast<uint8_t*>(out.data()), reinterpret_cast<const uint8_t*>(aPayload.data()));
    out.resize(whole >= DES_BLOCK_SIZE ? whole - DES_BLOCK_SIZE : 0);
    return out;
}
