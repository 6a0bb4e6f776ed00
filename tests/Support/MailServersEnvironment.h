// A real SMTP server (aiosmtpd) and a real POP3 server (Dovecot) for a
// whole test program: started before the first test, stopped after the
// last, their logs printed when a test failed. Including this header
// registers it (once, however many sources include it). Tests add the
// users they need.
#pragma once

#include "DovecotServer.h"
#include "SmtpServer.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

class TMailServersEnvironment : public ::testing::Environment {
public:
    static TSmtpTestServer& Smtp() { return *Slots().Smtp; }
    static TDovecotServer& Dovecot() { return *Slots().Dovecot; }

    void SetUp() override
    {
        try {
            Slots().Smtp = std::make_unique<TSmtpTestServer>();
            Slots().Dovecot = std::make_unique<TDovecotServer>();
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
    }
    void TearDown() override
    {
        if (::testing::UnitTest::GetInstance()->Failed()) {
            if (Slots().Smtp)
                std::cerr << Slots().Smtp->Log();
            if (Slots().Dovecot)
                std::cerr << Slots().Dovecot->Log();
        }
        Slots().Smtp.reset();
        Slots().Dovecot.reset();
    }

private:
    struct TSlots {
        std::unique_ptr<TSmtpTestServer> Smtp;
        std::unique_ptr<TDovecotServer> Dovecot;
    };
    static TSlots& Slots()
    {
        static TSlots slots;
        return slots;
    }
};

// gtest takes ownership of the environment.
[[maybe_unused]] inline const auto* const gMailServersEnvironment =
    ::testing::AddGlobalTestEnvironment(new TMailServersEnvironment);
