// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace nebelkamm {

// What went wrong, for the entry points to turn into their own answer once:
// the command line's exit status, the window's message box, Python's
// exception class.
enum class ErrorKind {
    Usage,       // the request cannot be carried out as asked
    Data,        // the data cannot be used
    Input,       // the input cannot be opened or read
    Create,      // an output file cannot be created
    Output,      // writing an output failed
    Config,      // the environment asks for what the program does not have
    Maths,       // the arithmetic failed
    Settings,    // the settings file refused a write
    Convert,     // a text is no number
    Unavailable, // a part of the program is not installed or does not load
};

// Root of the failures the program reports to the user. Kept free of any
// toolkit so the model can raise it.
class Exception : public std::runtime_error {
public:
    Exception(ErrorKind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    std::string Message() const { return what(); }
    ErrorKind Kind() const { return kind_; }

private:
    ErrorKind kind_;
};

// One class for each kind, so that a caller can catch just the one it
// answers itself.
template <ErrorKind K> class KindOfError : public Exception {
public:
    explicit KindOfError(const std::string& message) : Exception(K, message) {}
};

// Floating-point failures of the arithmetic: raised from operand and result
// checks, never from hardware traps, so no global FP state is touched.
using EMathError = KindOfError<ErrorKind::Maths>;

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

// No such input, a bad step, an option not understood.
using EUsageError = KindOfError<ErrorKind::Usage>;
// A header that names no input, a header over 1 MiB, a text not valid in
// its encoding.
using EDataError = KindOfError<ErrorKind::Data>;
using EInputError = KindOfError<ErrorKind::Input>;
using ECreateError = KindOfError<ErrorKind::Create>;
// A full disk, a file-size limit, a closed pipe.
using EOutputError = KindOfError<ErrorKind::Output>;
// A value of NEBELKAMM_SIMD the program does not know.
using EConfigError = KindOfError<ErrorKind::Config>;
// The settings file refused a write ("Unable to write to %s").
using EIniFileException = KindOfError<ErrorKind::Settings>;
// A text that is no number in the accepted syntax or range.
using EConvertError = KindOfError<ErrorKind::Convert>;
// The plotting module is missing or does not load.
using EPlotUnavailable = KindOfError<ErrorKind::Unavailable>;

} // namespace nebelkamm
