#include "app/Main.h"

#include "model/Exception.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
    }
    return 0;
}
