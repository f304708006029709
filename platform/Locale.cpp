// SPDX-License-Identifier: MIT
#include "platform/NumberText.h"

#include <QLocale>

namespace nebelkamm {

char SystemDecimalSeparator() {
    // QLocale reads LC_ALL / LC_NUMERIC / LANG itself; no C locale is set.
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point[0].unicode() > 32 && point[0].unicode() < 127)
        return static_cast<char>(point[0].unicode());
    return '.';
}

} // namespace nebelkamm
