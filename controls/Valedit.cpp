#include "controls/Valedit.h"

#include "model/Exception.h"
#include "platform/NumberText.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScopedValueRollback>
#include <QValidator>

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
    ShowText(Trimmed());
}

void TValEdit::Validate() {
    FFailed = false;
    ShowText(Trimmed());
    try {
        FValue = nebelkamm::StrToFloat(text().toStdString(), nebelkamm::SystemDecimalSeparator());
    } catch (const nebelkamm::Exception&) {
        FFailed = true;
        FValue = 0;
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
        window()->activateWindow();
        setFocus(Qt::OtherFocusReason);
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
    if (!self)
        return;
    window()->activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void TValEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Another window taking activation (a message box, another program) or a
    // popup menu is no leaving of the field.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (validating)
        return;
    const QScopedValueRollback guard(validating, true);
    Validate();
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
