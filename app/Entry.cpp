// SPDX-License-Identifier: MIT
#include "app/Main.h"

#include "core/Errors.h"
#include "model/Exception.h"
#include "model/Version.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr const char* Help =
    "Usage: nebelkamm [--input KEY=VALUE ...] [--] [v1 ... v7]\n"
    "       nebelkamm --help | --version\n"
    "\n"
    "Opens the window \"Condensation at charge air cooler\": seven input fields, six\n"
    "result fields. \"Calculate\" fills the results; Exit or the close box saves the\n"
    "inputs of the last \"Calculate\" to ./Nebelkamm.ini. Right-click the window's\n"
    "background (or press the menu key) for \"Copy results\" (the last Calculate's\n"
    "inputs and results as a tab-separated table) and \"Condensate chart...\" (the\n"
    "water at the separator over the temperature after the cooler, the humidity or\n"
    "the scavenge air pressure, with the knees and the present point, saved as PNG,\n"
    "SVG or PDF). Up to seven numbers override the stored inputs, as for\n"
    "nebelkamm-cli, then --input KEY=VALUE (any sign, also KEY[UNIT]=VALUE); a\n"
    "number not taken is said on standard error. See nebelkamm(1).\n";

// --help and --version are answered without a display: nothing of the
// toolkit starts for them. Returns the exit status, or -1 for the window.
int HelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        const bool version = std::strcmp(argv[i], "--version") == 0;
        if (!help && !version)
            continue;
        const bool written = help ? std::fputs(Help, stdout) >= 0
                                  : std::printf("nebelkamm %s\n", nebelkamm::Version) > 0;
        return written && std::fflush(stdout) == 0 ? 0 : 74;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (const int status = HelpOrVersion(argc, argv); status >= 0)
        return status;
    std::signal(SIGXFSZ, SIG_IGN); // a file-size limit fails the save, not the program
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QString::fromLatin1(nebelkamm::Version));
    UseWindowFont();

    std::vector<std::string> args;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        args.push_back(arguments[i].toLocal8Bit().toStdString());

    try {
        TMainForm form(args);
        form.show();
        form.activateWindow(); // takes the keyboard even where no window manager gives it
        app.exec();
    } catch (const nebelkamm::EUsageError& e) {
        std::fprintf(stderr, "nebelkamm: %s\n", e.Message().c_str());
        return 64;
    } catch (const nebelkamm::Exception& e) {
        ShowException(nullptr, QString::fromStdString(e.Message()));
    } catch (const std::bad_alloc&) {
        ShowException(nullptr, QStringLiteral("Out of memory"));
    }
    return 0;
}
