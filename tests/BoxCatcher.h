// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// Answers every modal message box that opens while it lives, and records
// what each one said.
class BoxCatcher {
public:
    struct Box {
        QString title, text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    BoxCatcher() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            if (QAbstractButton* b = box->button(answer))
                b->click();
            else
                box->accept();
        });
        timer_.start(5);
    }

    QList<Box> boxes;
    // The button to press where a box has it; other boxes are accepted.
    QMessageBox::StandardButton answer = QMessageBox::NoButton;

private:
    QTimer timer_;
};
