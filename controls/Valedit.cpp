// SPDX-License-Identifier: MIT
#include "controls/Valedit.h"

#include "model/Exception.h"
#include "platform/NumberText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTimer>
#include <QValidator>

#include <algorithm>

#include <cstdio>

namespace {

// Only one validation at a time in the whole program: the message box of one
// field moves the focus, and the next field must not validate on that.
bool validating = false;

// Refuses typing that would make the text longer than the limit, but lets a
// longer text that the field set itself be shortened.
class LengthLimit : public QValidator {
public:
    LengthLimit(const int& limit, const int& before, QObject* parent)
        : QValidator(parent), limit_(limit), before_(before) {}
    State validate(QString& input, int&) const override {
        return input.size() > limit_ && input.size() > before_ ? Invalid : Acceptable;
    }

private:
    const int& limit_;
    const int& before_;
};

QString FromStd(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

TValEdit::TValEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new LengthLimit(maxTyped_, shownLength_, this));
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString& text) { shownLength_ = static_cast<int>(text.size()); });

    FMinVal = 0;
    FMaxVal = 0;
    SetValue(0); // runs with Precision still 0
    FPrecision = 2;
    FFailed = false;
    std::snprintf(FTextBuf, sizeof FTextBuf, "%g", FValue);
    ShowText(QString::fromLatin1(FTextBuf));
    maxTyped_ = 20;
    FRangeCheck = QStringLiteral("Input must be between /min/ and /max/ !");
    FInfoCaption = QStringLiteral("Range check error!");
}

TValEdit::~TValEdit() = default;

void TValEdit::setPrecision(int v) {
    FPrecision = static_cast<std::uint16_t>(std::clamp(v, 0, 0xFFFF));
}

void TValEdit::SetValue(double value) {
    FValue = value;
    DisplayValue();
}

void TValEdit::ShowText(const QString& text) {
    shownLength_ = static_cast<int>(std::max<qsizetype>(text.size(), this->text().size()));
    setText(text);
}

void TValEdit::DisplayValue() {
    // Measured in the application's default font, whatever the field's own.
    const QFontMetrics metrics(QApplication::font());
    const char separator = nebelkamm::SystemDecimalSeparator();
    ShowText(
        FromStd(nebelkamm::FormatFloat(nebelkamm::DisplayPattern(FPrecision), FValue, separator)));
    const int limit = width() - 15;
    int shown = metrics.horizontalAdvance(text());
    while (shown < limit) {
        ShowText(QLatin1Char(' ') + text());
        const int wider = metrics.horizontalAdvance(text());
        if (wider <= shown) // a font without a blank width would never get there
            break;
        shown = wider;
    }
}

QString TValEdit::Trimmed() const {
    const QString t = text();
    qsizetype b = 0, e = t.size();
    while (b < e && t[b].unicode() <= 32)
        ++b;
    while (e > b && t[e - 1].unicode() <= 32)
        --e;
    return t.mid(b, e - b);
}

void TValEdit::ReadyToEdit() {
    const QString shown = text();
    const QString stripped = Trimmed();
    if (stripped == shown)
        return; // setText would drop the selection the mouse just made
    // Carry the caret and a dragged selection over to the stripped text, so
    // that typing replaces exactly what the user selected.
    qsizetype lead = 0;
    while (lead < shown.size() && shown[lead].unicode() <= 32)
        ++lead;
    const auto map = [&](int pos) {
        return static_cast<int>(std::clamp<qsizetype>(pos - lead, 0, stripped.size()));
    };
    const int caret = map(cursorPosition());
    const int from = map(selectionStart());
    const int to = hasSelectedText() ? map(selectionEnd()) : from;
    const bool backwards = hasSelectedText() && cursorPosition() == selectionStart();
    ShowText(stripped);
    if (to > from)
        backwards ? setSelection(to, from - to) : setSelection(from, to - from);
    else
        setCursorPosition(caret);
}

void TValEdit::Refocus() {
    // A read-only field that cannot take what it now shows would call the
    // user back forever: let the focus go.
    window()->activateWindow();
    if (isReadOnly() && !(0 >= FMinVal && !(0 > FMaxVal)))
        return;
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

void TValEdit::Validate() {
    FFailed = false;
    ShowText(Trimmed());
    try {
        FValue = nebelkamm::StrToFloat(text().toStdString(), nebelkamm::SystemDecimalSeparator());
    } catch (const nebelkamm::Exception&) {
        FFailed = true;
        FValue = 0;
        // The user cannot mend a read-only field's text (NAN, INF): show the 0
        // it now holds, so that it converts next time.
        if (isReadOnly())
            SetValue(0);
    }
    if (!(FValue >= FMinVal)) {
        SetValue(0);
        FFailed = true;
    }
    if (FValue > FMaxVal) {
        SetValue(0);
        FFailed = true;
    }
    if (FFailed) {
        DisplayRangeCheckError();
        Refocus();
    } else {
        DisplayValue();
    }
}

void TValEdit::DisplayRangeCheckError() {
    const std::string pattern = nebelkamm::DisplayPattern(FPrecision);
    const char separator = nebelkamm::SystemDecimalSeparator();
    QString message = FRangeCheck;
    if (message.isEmpty())
        return;
    if (const qsizetype at = message.indexOf(QLatin1String("/min/")); at >= 0)
        message.replace(at, 5, FromStd(nebelkamm::FormatFloat(pattern, FMinVal, separator)));
    if (const qsizetype at = message.indexOf(QLatin1String("/max/")); at >= 0)
        message.replace(at, 5, FromStd(nebelkamm::FormatFloat(pattern, FMaxVal, separator)));

    QPointer<TValEdit> self(this);
    QMessageBox box(QMessageBox::NoIcon, FInfoCaption, message,
                    QMessageBox::Ok | QMessageBox::Cancel, window());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (self)
        Refocus();
}

void TValEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // Entered by keyboard, window activation or a failed check: typing must
    // replace the number, not append to it. A click places the caret.
    if (event->reason() != Qt::MouseFocusReason && event->reason() != Qt::PopupFocusReason)
        selectAll();
}

void TValEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Another window taking activation (a message box, another program) or a
    // popup menu is no leaving of the field.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (validating)
        return;
    const QPointer<QAbstractButton> button =
        qobject_cast<QAbstractButton*>(QApplication::focusWidget());
    {
        const QScopedValueRollback guard(validating, true);
        Validate();
    }
    // A click on a button that took the focus is pressed after this returns;
    // its release went to the message box, so it would stay drawn down.
    if (FFailed && button)
        QTimer::singleShot(0, button, [button] { button->setDown(false); });
}

void TValEdit::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    pressed_ = event->button() == Qt::LeftButton;
}

void TValEdit::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    if (pressed_ && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint()))
        ReadyToEdit();
    pressed_ = false;
}

void TValEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    QLineEdit::mouseDoubleClickEvent(event);
    // Qt's words end at the decimal separator; the user means the number.
    if (event->button() == Qt::LeftButton) {
        ReadyToEdit();
        selectAll();
    }
}
