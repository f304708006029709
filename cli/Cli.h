// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace nebelkamm {

// Exit statuses of the command-line calculator.
enum CliStatus : int {
    CliOk = 0,
    CliFloatingPointFailure = 1,
    CliWriteFailure = 2,
    CliSomeRowsFailed = 3,
    CliUsage = 64,
    CliOutOfMemory = 71,
};

// Runs the calculator on the arguments after the program name, in the
// current directory, with the given decimal separator.
int RunCli(const std::vector<std::string>& args, char decimalSeparator, std::ostream& out,
           std::ostream& err);

} // namespace nebelkamm
