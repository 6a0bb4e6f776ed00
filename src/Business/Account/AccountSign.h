// Account signatures: a Sign row with the name, and the signature itself
// as a small message of its own, Sign/{sign id}/AccountSign.eml in the
// account's folder.
#pragma once

#include <filesystem>
#include <string>

#include "Business/Resource/ResId.h"
#include "Runtime/RcRef.h"

class TRcMailRaw;

class TRcAccountSign : public TRcObject {
public:
    TRcAccountSign() = delete;   // signatures are made with their identity
    TRcAccountSign(const std::string& aId, std::string aSignName, std::filesystem::path aEmlFileName);

    TRcResId* ResId() const { return FResId.Get(); }
    std::string FSignName;
    std::filesystem::path FEmlFileName;

    // Whether the message file exists.
    bool CheckHasSign() const;
    // An empty raw mail to compose the content on; autoreleased.
    TRcMailRaw* CreateEmptyMailRaw() const;
    // The stored message, autoreleased; nullptr when there is none.
    TRcMailRaw* LoadMailRaw() const;
    void SaveMailRaw(const TRcMailRaw* aMailRaw) const;

private:
    TRcRef<TRcResId> FResId;
};

// What the account store makes: a fresh id, no name, no file.
class TRcAccountSignForRawMail : public TRcAccountSign {
public:
    TRcAccountSignForRawMail();
    TRcAccountSignForRawMail(const std::string& aId, std::string aSignName, std::filesystem::path aEmlFileName)
        : TRcAccountSign(aId, std::move(aSignName), std::move(aEmlFileName)) {}
};

// The message file of a signature in an account's folder.
std::filesystem::path AccountSignFileName(const std::filesystem::path& aAccountFolder, const std::string& aSignId);
