// What the fake platform answers by default, for tests to compare with.
#pragma once

// The registration time, written as the client reads it:
// "yyyy-MM-dd hh:mm:ss.zzz".
inline constexpr const char* kFakeRegistrationTime = "2023-05-17 09:30:15.250";
