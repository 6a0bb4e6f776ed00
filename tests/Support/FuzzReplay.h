// Replaying a fuzz target's corpus in the ordinary suite: every file of the
// folders goes through the target's entry point (which aborts on a fault).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include "fuzz/FuzzEntry.h"

using TFuzzEntry = int (*)(const uint8_t* aData, size_t aSize);

// The number of inputs replayed.
inline int ReplayFuzzCorpus(TFuzzEntry aEntry, std::initializer_list<const char*> aFolders)
{
    int replayed = 0;
    for (const char* folder : aFolders) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::stringstream s;
            s << in.rdbuf();
            const std::string bytes = s.str();
            EXPECT_EQ(aEntry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0)
                << entry.path();
            ++replayed;
        }
    }
    return replayed;
}
