// A printf-style formatter that checks its arguments.
//
// Message texts come from files a user can edit, so a text is never handed
// to printf: this formatter takes typed arguments and throws EFormatError
// when a directive and its argument do not fit, or arguments run out.
//
// Directives: %[-][0][width][.precision]type, with type one of
//   d i   signed or unsigned integer        u     integer, shown unsigned
//   x X   integer in hex                    s     text
//   f e g floating point (integers accepted) c     a character code
//   p     pointer                           %%    a percent sign
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "Errors.h"

class EFormatError : public Exception {
public:
    explicit EFormatError(std::string_view aFormat)
        : Exception("Format '" + std::string(aFormat) + "' invalid or incompatible with argument") {}
};

class TFormatArg {
public:
    enum class TKind { Signed, Unsigned, Float, Text, Pointer };

    template <class I, std::enable_if_t<std::is_integral_v<I> && !std::is_same_v<I, bool> &&
                                            std::is_signed_v<I>, int> = 0>
    TFormatArg(I aValue) : FKind(TKind::Signed), FSigned(aValue) {}
    template <class I, std::enable_if_t<std::is_integral_v<I> && !std::is_same_v<I, bool> &&
                                            std::is_unsigned_v<I>, int> = 0>
    TFormatArg(I aValue) : FKind(TKind::Unsigned), FUnsigned(aValue) {}
    TFormatArg(bool aValue) : FKind(TKind::Signed), FSigned(aValue ? 1 : 0) {}
    TFormatArg(double aValue) : FKind(TKind::Float), FFloat(aValue) {}
    TFormatArg(std::string_view aValue) : FKind(TKind::Text), FText(aValue) {}
    TFormatArg(const std::string& aValue) : FKind(TKind::Text), FText(aValue) {}
    TFormatArg(const char* aValue) : FKind(TKind::Text), FText(aValue ? aValue : "") {}
    TFormatArg(const void* aValue) : FKind(TKind::Pointer), FPointer(aValue) {}

    TKind Kind() const { return FKind; }
    int64_t Signed() const { return FSigned; }
    uint64_t Unsigned() const { return FUnsigned; }
    double Float() const { return FFloat; }
    std::string_view Text() const { return FText; }
    const void* Pointer() const { return FPointer; }

private:
    TKind FKind;
    union {
        int64_t FSigned;
        uint64_t FUnsigned;
        double FFloat;
        const void* FPointer;
    };
    std::string_view FText;
};

std::string FormatText(std::string_view aFormat, std::initializer_list<TFormatArg> aArgs);
