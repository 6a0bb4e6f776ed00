// Version texts of the program, "v4.0.0 Build 1203 - rc2", and their order:
// by build number, then by the stage the type word names.
#pragma once

#include <cstdint>
#include <string>

enum TVersionType { vtUnknown, vtDebug, vtAlpha, vtBata, vtRc, vtProductRc, vtRelease };

struct TVersionStruct {
    std::string Version;      // the whole text
    int32_t Builde = 0;
    TVersionType Typ = vtUnknown;
    int32_t TypNo = 0;        // only for the types that need one
};

// The text must match "^v(\d+).(\d+).(\d+) Build (\d+)(?:| - ([A-Za-z_]+)(\d*))$"
// whole; the build number (and, for "debug", "rc" and "product_rc", the
// type number) must fit 32 bits. "bata" is the beta stage; any word not
// known is vtUnknown.
bool ParseVersion(const std::string& aText, TVersionStruct& aVersion);
// -1 when A is older, 0 when they rank equal, 1 when A is newer: build
// numbers first, then the stages (unknown < debug < alpha < bata < rc =
// product_rc < release). Major, minor, patch and type numbers do not count.
int CompareVersion(const TVersionStruct& A, const TVersionStruct& B);
