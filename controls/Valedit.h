// SPDX-License-Identifier: MIT
#pragma once

#include <QLineEdit>
#include <QString>

#include <cstdint>

// A single-line field holding one number: shown with Precision decimals,
// pushed to the right edge by leading blanks, range-checked when the user
// leaves it.
class TValEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(double Value READ Value WRITE setValue)
    Q_PROPERTY(double MinVal READ MinVal WRITE setMinVal)
    Q_PROPERTY(double MaxVal READ MaxVal WRITE setMaxVal)
    Q_PROPERTY(int Precision READ Precision WRITE setPrecision)
    Q_PROPERTY(QString RangeCheck READ RangeCheck WRITE setRangeCheck)
    Q_PROPERTY(QString InfoCaption READ InfoCaption WRITE setInfoCaption)

public:
    // A field showing "0", range 0..0, two decimals, typing limit 20.
    explicit TValEdit(QWidget* parent = nullptr);
    ~TValEdit() override;

    // The number held: 0 after a failed check.
    double Value() const { return FValue; }
    // Stores and shows the number, right-aligned, without a range check.
    void SetValue(double value);
    void setValue(double value) { SetValue(value); } // the form loader's name
    // The inclusive range a check accepts; setting it shows nothing new.
    double MinVal() const { return FMinVal; }
    void setMinVal(double v) { FMinVal = v; }
    double MaxVal() const { return FMaxVal; }
    void setMaxVal(double v) { FMaxVal = v; }
    // Decimals shown, from the next display on.
    int Precision() const { return FPrecision; }
    void setPrecision(int v);
    // The range message ("/min/" and "/max/" filled in) and its title.
    QString RangeCheck() const { return FRangeCheck; }
    void setRangeCheck(const QString& v) { FRangeCheck = v; }
    QString InfoCaption() const { return FInfoCaption; }
    void setInfoCaption(const QString& v) { FInfoCaption = v; }

    // What the user may type in all, blanks included; the field's own
    // display is never cut to it.
    int MaxLength() const { return maxTyped_; }
    void SetMaxLength(int v) { maxTyped_ = v; }

    // Whether the last check failed.
    bool failed() const { return FFailed; }
    // Shows Value with Precision decimals, right-aligned with blanks.
    void DisplayValue();
    // Shows the range message box, then gives the focus back to the field.
    void DisplayRangeCheckError();
    // Strips the blanks for editing, keeping the caret and a selection.
    void ReadyToEdit();
    // Converts and range-checks the text; on failure Value is 0, the message
    // is shown and the focus returns (a read-only field lets it go when it
    // cannot hold what it then shows).
    void Validate();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // setText without QLineEdit's maxLength cut.
    void ShowText(const QString& text);
    QString Trimmed() const;
    // Gives the focus back after a failure with the whole text selected, so
    // that typing replaces it.
    void Refocus();

    double FValue = 0;
    double FMinVal = 0;
    double FMaxVal = 0;
    std::uint16_t FPrecision = 0;
    QString FRangeCheck;
    QString FInfoCaption;
    bool FFailed = false;
    char FTextBuf[27] = {};

    int maxTyped_ = 32767;
    int shownLength_ = 0; // length before the user's edit, for the typing limit
    bool pressed_ = false;
};
