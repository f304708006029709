// SPDX-License-Identifier: MIT
// The floor for the window's start: a bare Qt window of the same size.
#include <QApplication>
#include <QPushButton>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(327, 416);
    QPushButton exit(QStringLiteral("Exit"), &window);
    window.show();
    return app.exec();
}
