// A real POP3 server (Dovecot) for a whole test program: started before the
// first test, stopped after the last, its log printed when a test failed.
// Including this header registers it (once, however many sources include
// it). Tests add the users they need.
#pragma once

#include "DovecotServer.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

class TDovecotEnvironment : public ::testing::Environment {
public:
    static TDovecotServer& Dovecot() { return *Slot(); }

    void SetUp() override
    {
        try {
            Slot() = std::make_unique<TDovecotServer>();
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
    }
    void TearDown() override
    {
        if (Slot() && ::testing::UnitTest::GetInstance()->Failed())
            std::cerr << Slot()->Log();   // what the server saw, for the failures above
        Slot().reset();
    }

private:
    static std::unique_ptr<TDovecotServer>& Slot()
    {
        static std::unique_ptr<TDovecotServer> server;
        return server;
    }
};

// gtest takes ownership of the environment.
[[maybe_unused]] inline const auto* const gDovecotEnvironment =
    ::testing::AddGlobalTestEnvironment(new TDovecotEnvironment);
