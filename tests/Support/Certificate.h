// Test certificates, made when the tests run.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct TTestCertificate {
    std::filesystem::path CertFile;   // PEM, self-signed: its own trust anchor
    std::filesystem::path KeyFile;    // PEM, unencrypted
};

// A self-signed certificate for the DNS name aName (subject and
// subjectAltName) with a P-256 key, made with `openssl req` in aFolder.
TTestCertificate MakeSelfSignedCertificate(const std::filesystem::path& aFolder, const std::string& aName);

// Runs a program (looked up on PATH) with its output going to aLogFile;
// its exit code, or -1 when it could not run or was killed.
int RunProgram(const std::vector<std::string>& aArgs, const std::filesystem::path& aLogFile);
