// SPDX-License-Identifier: MIT
#include "cli/Cli.h"
#include "io/Stream.h"
#include "platform/Files.h"
#include "platform/NumberText.h"

#include <csignal>
#include <ostream>

#include <unistd.h>

int main(int argc, char** argv) {
    // A file-size limit makes a too-long write fail, not kill the process.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    nebelkamm::FdSink out(STDOUT_FILENO, "the output");
    nebelkamm::LineWriter lines(STDERR_FILENO);
    std::ostream err(&lines);
    return nebelkamm::RunCli(args, nebelkamm::SystemDecimalSeparator(), out, err);
}
