#include "FatalError.h"

#include "Errors.h"
#include "Log.h"

#include <cstdio>
#include <cstdlib>

void AbortInvalidPointer(const char* aWhere) noexcept
{
    TLog::O(lolError, "%s: %s", {EInvalidPointer::kMessage, aWhere});
    std::fprintf(stderr, "%s: %s\n", EInvalidPointer::kMessage, aWhere);
    std::abort();
}
