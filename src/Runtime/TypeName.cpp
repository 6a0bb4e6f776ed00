#include "TypeName.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

std::string DemangledName(const std::type_info& aType)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(aType.name(), nullptr, nullptr, &status),
                                                std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(aType.name());
}
