// SPDX-License-Identifier: MIT
#pragma once

#include "model/Exception.h"

namespace nebelkamm {

// What ends a batch, a sweep or a plot before its end, one class for each
// answer the command line gives (its exit status after sysexits.h).

// The request cannot be carried out as asked: no such input, a bad step.
class EUsageError : public Exception {
public:
    using Exception::Exception;
};

// The data cannot be used: a header that names no input, a header over
// 1 MiB, a text in UTF-16.
class EDataError : public Exception {
public:
    using Exception::Exception;
};

// The input cannot be opened or read.
class EInputError : public Exception {
public:
    using Exception::Exception;
};

// An output file cannot be created.
class ECreateError : public Exception {
public:
    using Exception::Exception;
};

// Writing an output failed (a full disk, a file-size limit, a closed pipe).
class EOutputError : public Exception {
public:
    using Exception::Exception;
};

// The environment asks for what this program does not have: a value of
// NEBELKAMM_SIMD it does not know.
class EConfigError : public Exception {
public:
    using Exception::Exception;
};

} // namespace nebelkamm
