// Stored data of a version this program does not support. The entry
// sequence catches it specially: it tears the business layer down and
// clears the data folder when the configuration asks for it.
#pragma once

#include "Runtime/Errors.h"

class ENoSupportDataVersion : public Exception {
public:
    using Exception::Exception;
};
