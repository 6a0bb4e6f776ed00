// The last resort for a programming error of the object runtime where no
// exception can be raised (a destructor): logged, then the process ends.
#pragma once

// Logs aWhere at Error with the invalid-pointer message, writes it to
// stderr as well, and aborts the process.
[[noreturn]] void AbortInvalidPointer(const char* aWhere) noexcept;
