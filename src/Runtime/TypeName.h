// The readable name of a C++ type, for logs and error texts.
#pragma once

#include <string>
#include <typeinfo>

// "std::runtime_error", "TRcMail"; the compiler's own name when it cannot
// be demangled.
std::string DemangledName(const std::type_info& aType);
