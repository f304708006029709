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
    explicit TValEdit(QWidget* parent = nullptr);
    ~TValEdit() override;

    double Value() const { return FValue; }
    void SetValue(double value);
    void setValue(double value) { SetValue(value); } // the form loader's name
    double MinVal() const { return FMinVal; }
    void setMinVal(double v) { FMinVal = v; }
    double MaxVal() const { return FMaxVal; }
    void setMaxVal(double v) { FMaxVal = v; }
    int Precision() const { return FPrecision; }
    void setPrecision(int v);
    QString RangeCheck() const { return FRangeCheck; }
    void setRangeCheck(const QString& v) { FRangeCheck = v; }
    QString InfoCaption() const { return FInfoCaption; }
    void setInfoCaption(const QString& v) { FInfoCaption = v; }

    // What the user may type in all, blanks included; the field's own
    // display is never cut to it.
    int MaxLength() const { return maxTyped_; }
    void SetMaxLength(int v) { maxTyped_ = v; }

    bool failed() const { return FFailed; }
    void DisplayValue();
    void DisplayRangeCheckError();
    void ReadyToEdit();
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
