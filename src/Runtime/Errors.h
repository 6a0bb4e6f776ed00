// The runtime's exception classes.
//
// Errors are exceptions. `Exception` carries one of the system's own
// messages (mostly Chinese, shown to the user as they stand);
// `EInvalidPointer` marks a programming error of the object runtime.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& aMessage) : std::runtime_error(aMessage) {}
};

class EInvalidPointer : public Exception {
public:
    static constexpr const char* kMessage = "Invalid pointer operation";
    EInvalidPointer() : Exception(kMessage) {}
};

// The generic containers' index errors.
class EArgumentOutOfRange : public Exception {
public:
    EArgumentOutOfRange() : Exception("Argument out of range") {}
};

class ENotSupported : public Exception {
public:
    ENotSupported() : Exception("Operation not supported") {}
};

// A class-level operation that a class does not provide.
class EAbstractError : public Exception {
public:
    EAbstractError() : Exception("Abstract Error") {}
};
