// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace nebelkamm {

// Root of the failures the program reports to the user. Kept free of any
// toolkit so the model can raise it; the platform layer derives its own.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Floating-point failures of the arithmetic: raised from operand and result
// checks, never from hardware traps, so no global FP state is touched.
class EMathError : public Exception {
public:
    using Exception::Exception;
};

class EZeroDivide : public EMathError {
public:
    EZeroDivide() : EMathError("Floating point division by zero") {}
};

class EInvalidOp : public EMathError {
public:
    EInvalidOp() : EMathError("Invalid floating point operation") {}
};

class EOverflow : public EMathError {
public:
    EOverflow() : EMathError("Floating point overflow") {}
};

} // namespace nebelkamm
