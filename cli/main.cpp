#include "cli/Cli.h"
#include "platform/NumberText.h"

#include <iostream>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return nebelkamm::RunCli(args, nebelkamm::SystemDecimalSeparator(), std::cout, std::cerr);
}
