// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace nebelkamm {

// Runs `place` when the widget gets a parent and whenever that parent is
// resized, so a control laid out from its parent's size is placed before
// it paints. Owned by the widget.
class ParentFollower : public QObject {
public:
    ParentFollower(QWidget* widget, std::function<void()> place);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch();

    QWidget* widget_;
    QPointer<QWidget> parent_;
    std::function<void()> place_;
};

} // namespace nebelkamm
