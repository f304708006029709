// SPDX-License-Identifier: MIT
#include "controls/ReturnPresses.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace {

class ReturnPresses : public QObject {
public:
    explicit ReturnPresses(QAbstractButton* button) : QObject(button), button_(button) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == button_ && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                button_->animateClick();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QAbstractButton* button_;
};

} // namespace

void PressOnReturn(QAbstractButton* button) {
    button->installEventFilter(new ReturnPresses(button));
}
