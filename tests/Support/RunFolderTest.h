// A test with its own data folder and run folder for working files,
// removed again afterwards.
#pragma once

#include "Business/Data/DataFolder.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Data/WholeFile.h"
#include "Runtime/AutoReleasePool.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class RunFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FScratch = std::make_unique<TScratchFolder>("qm-run");
        FData = FScratch->Path();
        SetCurrentDataPath(FData);
        TTempFileManager::BuildInstance();
    }
    void TearDown() override
    {
        TTempFileManager::ReleaseInstance();
        FScratch.reset();
    }
    static std::string Read(const std::filesystem::path& aPath) { return ReadWholeFile(aPath); }
    // A file of the data folder with that content.
    std::filesystem::path Write(const std::string& aName, const std::string& aContent) const
    {
        const std::filesystem::path path = FData / aName;
        std::ofstream(path, std::ios::binary) << aContent;
        return path;
    }

    TRetainCountObjectAutoReleasePool FPool;
    std::filesystem::path FData;
    std::unique_ptr<TScratchFolder> FScratch;
};
