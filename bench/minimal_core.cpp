// SPDX-License-Identifier: MIT
// The floor for the command line's start: a bare Qt Core program.
#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return 0;
}
