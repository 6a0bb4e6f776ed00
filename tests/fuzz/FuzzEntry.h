// A fuzz target's entry point. Built as a libFuzzer target
// (QUILLMAR_FUZZ_TARGET, ./build.sh fuzz) it is LLVMFuzzerTestOneInput; in
// the test suite it keeps its own name, so that one test program can
// replay the corpora of several targets.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef QUILLMAR_FUZZ_TARGET
#define QUILLMAR_FUZZ_ENTRY(aName) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize)
#else
#define QUILLMAR_FUZZ_ENTRY(aName) int aName(const uint8_t* aData, size_t aSize)
#endif

// The entry points, as the replaying tests call them.
int FuzzMessage(const uint8_t* aData, size_t aSize);
int FuzzHeader(const uint8_t* aData, size_t aSize);
int FuzzHtmlPictures(const uint8_t* aData, size_t aSize);
int FuzzPop3Reply(const uint8_t* aData, size_t aSize);
int FuzzSmtpReply(const uint8_t* aData, size_t aSize);
int FuzzIni(const uint8_t* aData, size_t aSize);
int FuzzJsonReply(const uint8_t* aData, size_t aSize);
int FuzzPasteFilter(const uint8_t* aData, size_t aSize);
