// SPDX-License-Identifier: MIT
#include "controls/ParentFollower.h"

#include <QEvent>

#include <utility>

namespace nebelkamm {

ParentFollower::ParentFollower(QWidget* widget, std::function<void()> place)
    : QObject(widget), widget_(widget), place_(std::move(place)) {
    widget_->installEventFilter(this);
    Watch();
}

void ParentFollower::Watch() {
    if (parent_)
        parent_->removeEventFilter(this);
    parent_ = widget_->parentWidget();
    if (parent_) {
        parent_->installEventFilter(this);
        place_();
    }
}

bool ParentFollower::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_ && event->type() == QEvent::ParentChange)
        Watch();
    else if (watched == parent_ && event->type() == QEvent::Resize)
        place_();
    return false;
}

} // namespace nebelkamm
