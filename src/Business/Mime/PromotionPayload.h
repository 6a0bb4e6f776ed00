// The enciphered real HTML of a promotion mail, in its part of type
// "application/x-qmc-promot-v1". DES-ECB with a fixed key; receivers of
// other versions decipher it, so nothing here may change.
#pragma once

#include <string>
#include <string_view>

inline constexpr const char* kPromotionContentType = "application/x-qmc-promot-v1";
inline constexpr const char* kPromotionFileName = "请用Quillmar客户端接收";

// UTF-8 HTML padded with blanks to whole blocks, then 8 bytes of 0x08,
// enciphered block by block. A text ending in NUL is refused with
// "Error: the last char is NULL char.".
std::string EncipherPromotion(std::string_view aHtml);
// Whole blocks only (a trailing partial block is ignored), the last 8
// bytes dropped.
std::string DecipherPromotion(std::string_view aPayload);
