#include "AccountSign.h"

#include "Business/AccountMail/MailRaw.h"
#include "Runtime/Errors.h"
#include "Runtime/GuidId.h"

TRcAccountSign::TRcAccountSign(const std::string& aId, std::string aSignName, std::filesystem::path aEmlFileName)
    : FSignName(std::move(aSignName)), FEmlFileName(std::move(aEmlFileName)),
      FResId(TRcRef<TRcResId>::Adopt(TRcResId::Create(rtSigin, aId)))
{
}

TRcAccountSignForRawMail::TRcAccountSignForRawMail() : TRcAccountSign(NewGuidId(), "", "") {}

bool TRcAccountSign::CheckHasSign() const
{
    std::error_code ec;
    return !FEmlFileName.empty() && std::filesystem::is_regular_file(FEmlFileName, ec);
}

TRcMailRaw* TRcAccountSign::CreateEmptyMailRaw() const
{
    return TRcMailRaw::CreateAndAutoRelease();
}

TRcMailRaw* TRcAccountSign::LoadMailRaw() const
{
    if (!CheckHasSign())
        return nullptr;
    TRcMailRaw* raw = TRcMailRaw::CreateAndAutoRelease();
    raw->RawStreamLoadFromFile(FEmlFileName);
    return raw;
}

void TRcAccountSign::SaveMailRaw(const TRcMailRaw* aMailRaw) const
{
    if (!aMailRaw || FEmlFileName.empty())
        throw Exception("签名文件没有指定");
    std::filesystem::create_directories(FEmlFileName.parent_path());
    aMailRaw->RawStreamSaveToFile(FEmlFileName);
}

std::filesystem::path AccountSignFileName(const std::filesystem::path& aAccountFolder, const std::string& aSignId)
{
    // The id names a folder: it must be one of ours.
    if (!IsGuidId(aSignId))
        throw Exception("签名ID无效：" + aSignId);
    return aAccountFolder / "Sign" / aSignId / "AccountSign.eml";
}
