// Asserts that a call throws Exception (or a subclass) with exactly this
// message: the system's messages are part of what it promises.
#pragma once

#include "Runtime/Errors.h"

#include <gtest/gtest.h>

#include <string>

template <class F>
void ExpectMessage(F&& aCall, const std::string& aMessage)
{
    try {
        aCall();
        ADD_FAILURE() << "no error, expected \"" << aMessage << "\"";
    } catch (const Exception& e) {
        EXPECT_EQ(e.what(), aMessage);
    }
}
