// SPDX-License-Identifier: MIT
#include "app/Main.h"

#include "model/Exception.h"
#include "model/Version.h"

#include <QApplication>

#include <csignal>
#include <new>

int main(int argc, char** argv) {
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
    } catch (const nebelkamm::Exception& e) {
        ShowException(nullptr, QString::fromStdString(e.Message()));
    } catch (const std::bad_alloc&) {
        ShowException(nullptr, QStringLiteral("Out of memory"));
    }
    return 0;
}
