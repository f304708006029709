// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace nebelkamm {

class Sink;

// Exit statuses of the command-line calculator (after sysexits.h from 64).
enum CliStatus : int {
    CliOk = 0,
    CliFloatingPointFailure = 1,
    CliWriteFailure = 2, // the settings file
    CliSomeRowsFailed = 3,
    CliUsage = 64,
    CliDataError = 65,
    CliNoInput = 66,
    CliUnavailable = 69, // the plotting module is missing
    CliOutOfMemory = 71,
    CliCannotCreate = 73,
    CliIoError = 74,
    CliConfigError = 78, // NEBELKAMM_SIMD names no level
};

// Runs the calculator on the arguments after the program name, in the
// current directory, with the given decimal separator. Results go to out,
// messages to err; standard input is read only for "--batch -".
int RunCli(const std::vector<std::string>& args, char decimalSeparator, Sink& out,
           std::ostream& err);

} // namespace nebelkamm
