#include "ResPathCheck.h"

#include "ResPath.h"
#include "Runtime/Errors.h"
#include "Runtime/TextFormat.h"

#include <initializer_list>

namespace {

constexpr const char* kNil = "资源路径是 nil";
constexpr const char* kNoElements = "资源路径长度是 0";

std::string LengthNot(int aLength)
{
    return FormatText("资源路径长度不等于 %d", {aLength});
}

// The element at aPosition (1-based) must be of aType.
std::string ElementError(const TRcResPath* aPath, int aPosition, TResType aType, bool aAccountFirst = false,
                         bool aPromotePath = false)
{
    const TRcResId* id = aPath->At(aPosition - 1);
    if (!id)
        return FormatText("资源路径第 %d 个资源 是 nil", {aPosition});
    if (id->IsType(aType))
        return {};
    if (aAccountFirst && aPosition == 1)
        return "资源路径第1个资源不是账户类型";
    return FormatText("资源路径第 %d 个资源不是%s类型", {aPosition, ResTypeCheckName(aType, aPromotePath)});
}

// A fixed-length path whose elements have the given types in order; the
// account-first shapes word position 1 their own way.
std::string FixedShapeError(const TRcResPath* aPath, std::initializer_list<TResType> aTypes,
                            const std::string& aLengthError, bool aPromotePath = false)
{
    if (!aPath)
        return kNil;
    if (aPath->Count() != static_cast<int>(aTypes.size()))
        return aLengthError;
    const bool accountFirst = *aTypes.begin() == rtAccount;
    int position = 1;
    for (TResType type : aTypes) {
        std::string error = ElementError(aPath, position, type, accountFirst, aPromotePath);
        if (!error.empty())
            return error;
        ++position;
    }
    return {};
}

// Starts with an account; and, when aLastType is given, ends with one of
// that type.
std::string AccountRootedError(const TRcResPath* aPath, const TResType* aLastType, const char* aLastTypeError)
{
    if (!aPath)
        return kNil;
    if (aPath->Count() == 0)
        return kNoElements;
    const TRcResId* first = aPath->At(0);
    if (!first)
        return "资源路径第1个资源ID 是 nil";
    if (!first->IsType(rtAccount))
        return "资源路径结尾资源ID不是账户类型";
    if (!aLastType)
        return {};
    const TRcResId* last = aPath->Last();
    if (!last)
        return "资源路径结尾资源ID 是 nil";
    if (!last->IsType(*aLastType))
        return aLastTypeError;
    return {};
}

void ThrowIfError(const std::string& aError)
{
    if (!aError.empty())
        throw Exception(aError);
}

} // namespace

std::string EmptyResPathError(const TRcResPath* aPath)
{
    return !aPath || aPath->Count() == 0 ? std::string() : "资源路径不是nil，或者长度不为 0";
}

std::string AccountRootedResPathError(const TRcResPath* aPath)
{
    return AccountRootedError(aPath, nullptr, nullptr);
}

std::string AccountResPathError(const TRcResPath* aPath)
{
    return FixedShapeError(aPath, {rtAccount}, LengthNot(1));
}

std::string AccountMailFolderResPathError(const TRcResPath* aPath)
{
    const TResType last = rtAccountMailFolder;
    return AccountRootedError(aPath, &last, "资源路径结尾资源ID不是账户文件夹类型");
}

std::string AccountMailResPathError(const TRcResPath* aPath)
{
    const TResType last = rtAccountMail;
    return AccountRootedError(aPath, &last, "资源路径结尾资源ID不是账户邮件类型");
}

std::string AddressBookFolderResPathError(const TRcResPath* aPath)
{
    return FixedShapeError(aPath, {rtAccount, rtAccountAddressBookFolder}, LengthNot(2));
}

std::string AddressBookGroupResPathError(const TRcResPath* aPath)
{
    return FixedShapeError(aPath, {rtAccount, rtAccountAddressBookFolder, rtAccountAddressBookGroup}, LengthNot(3));
}

std::string AddressBookResPathError(const TRcResPath* aPath)
{
    return FixedShapeError(
        aPath, {rtAccount, rtAccountAddressBookFolder, rtAccountAddressBookGroup, rtAccountAddressBook}, LengthNot(4));
}

std::string PromoteTemplateFolderResPathError(const TRcResPath* aPath)
{
    return FixedShapeError(aPath, {rtAccount, rtPromoteTemplateFolder}, LengthNot(2));
}

std::string PromoteTemplateResPathError(const TRcResPath* aPath)
{
    return FixedShapeError(aPath, {rtAccount, rtPromoteTemplateFolder, rtPromoteTemplate}, LengthNot(3), true);
}

std::string PromoteTemplateItemResPathError(const TRcResPath* aPath)
{
    return FixedShapeError(aPath, {rtAccount, rtPromoteTemplateFolder, rtPromoteTemplate, rtPromoteTemplateItem},
                           LengthNot(4), true);
}

std::string ConversationResPathError(const TRcResPath* aPath)
{
    if (!aPath)
        return kNil;
    if (aPath->Count() != 2)
        return LengthNot(2);
    if (!aPath->At(0))
        return "资源路径第 1 个资源 是 nil";
    return ElementError(aPath, 2, rtConversation);
}

std::string TemplateFolderResPathError(const TRcResPath* aPath)
{
    if (!aPath)
        return kNil;
    const int count = aPath->Count();
    if (count > 1 ? count != 2 : count != 1)
        return LengthNot(count > 1 ? 2 : 1);
    for (int position = 1; position <= count; ++position) {
        std::string error = ElementError(aPath, position, rtTemplateFolder);
        if (!error.empty())
            return error;
    }
    return {};
}

std::string TemplateResPathError(const TRcResPath* aPath)
{
    return FixedShapeError(aPath, {rtTemplateFolder, rtTemplateFolder, rtTemplate}, "资源路径长度不是 3");
}

std::string LetterFolderResPathError(const TRcResPath* aPath)
{
    // Only the first element is ruled on: nested letter folders are
    // neither accepted nor refused by name here.
    if (!aPath)
        return kNil;
    if (aPath->Count() == 0)
        return kNoElements;
    return ElementError(aPath, 1, rtLetterFolder);
}

std::string LetterResPathError(const TRcResPath* aPath)
{
    return FixedShapeError(aPath, {rtLetterFolder, rtLetter}, "资源路径长度不是 2");
}

void CheckAccountRootedResPath(const TRcResPath* aPath)
{
    ThrowIfError(AccountRootedResPathError(aPath));
}

void CheckAccountMailFolderResPath(const TRcResPath* aPath)
{
    ThrowIfError(AccountMailFolderResPathError(aPath));
}

void CheckAccountMailResPath(const TRcResPath* aPath)
{
    ThrowIfError(AccountMailResPathError(aPath));
}

void CheckPromoteTemplateResPath(const TRcResPath* aPath)
{
    ThrowIfError(PromoteTemplateResPathError(aPath));
}
