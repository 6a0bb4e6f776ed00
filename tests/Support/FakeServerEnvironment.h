// One fake maker's server for a whole test program: started on a free
// loopback port before the first test, stopped after the last. Including
// this header registers it (once, however many sources include it).
#pragma once

#include "FakeMakerServer.h"

#include <gtest/gtest.h>

#include <memory>

class TFakeServerEnvironment : public ::testing::Environment {
public:
    // The running server; nothing outside the tests.
    static TFakeMakerServer* Server() { return Slot().get(); }

    void SetUp() override
    {
        Slot() = std::make_unique<TFakeMakerServer>();
        Slot()->Start();
    }
    void TearDown() override { Slot().reset(); }

private:
    static std::unique_ptr<TFakeMakerServer>& Slot()
    {
        static std::unique_ptr<TFakeMakerServer> server;
        return server;
    }
};

// gtest takes ownership of the environment.
[[maybe_unused]] inline const auto* const gFakeServerEnvironment =
    ::testing::AddGlobalTestEnvironment(new TFakeServerEnvironment);
