// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Color.h"

#include <QFont>
#include <QFrame>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

class QPainter;
namespace nebelkamm {
class TCanvas;
}

// The value table of a polar diagram: Data[i][j] is value j of series i.
// It knows its own shape, so the control never reads past it whatever
// nRows and nVals claim.
class TPolarData {
public:
    TPolarData() = default;
    // Zero-filled; a count of 0 or below gives no table.
    TPolarData(int rows, int vals);

    bool empty() const { return cells_.empty(); }
    int Rows() const { return rows_; }
    int Vals() const { return vals_; }
    bool Covers(int rows, int vals) const { return rows <= rows_ && vals <= vals_; }
    double* operator[](int i) { return cells_.data() + static_cast<std::size_t>(i) * vals_; }
    const double* operator[](int i) const {
        return cells_.data() + static_cast<std::size_t>(i) * vals_;
    }

private:
    int rows_ = 0;
    int vals_ = 0;
    std::vector<double> cells_;
};

// A polar (radar) diagram of up to five series over as many spokes as each
// series has values, with optional grid rings, spoke labels, range circles
// and range-status markers, and up to four corner captions. It places
// itself in its parent by the fractions vLeft, vTop, vRight, vBottom.
class TPolarDisp : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int nGrid MEMBER nGrid WRITE setNGrid)
    Q_PROPERTY(double vLeft MEMBER vLeft WRITE setVLeft)
    Q_PROPERTY(double vTop MEMBER vTop WRITE setVTop)
    Q_PROPERTY(double vRight MEMBER vRight WRITE setVRight)
    Q_PROPERTY(double vBottom MEMBER vBottom WRITE setVBottom)
    Q_PROPERTY(int nRows MEMBER nRows WRITE setNRows)
    Q_PROPERTY(int nVals MEMBER nVals WRITE setNVals)
    Q_PROPERTY(double maxVal MEMBER maxVal WRITE setMaxVal)
    Q_PROPERTY(QStringList TicLabel MEMBER TicLabel WRITE setTicLabel)
    Q_PROPERTY(QStringList LegList MEMBER LegList WRITE setLegList)
    Q_PROPERTY(bool GridOn MEMBER GridOn WRITE setGridOn)
    Q_PROPERTY(bool TickOn MEMBER TickOn WRITE setTickOn)
    Q_PROPERTY(bool MarkOn MEMBER MarkOn WRITE setMarkOn)
    Q_PROPERTY(bool RangeOn MEMBER RangeOn WRITE setRangeOn)
    Q_PROPERTY(double range_a MEMBER range_a WRITE setRange_a)
    Q_PROPERTY(double range_b MEMBER range_b WRITE setRange_b)
    Q_PROPERTY(QColor PolyCol READ polyColor WRITE setPolyCol)
    Q_PROPERTY(QColor GridCol READ gridColor WRITE setGridCol)
    Q_PROPERTY(QColor TitleCol READ titleColor WRITE setTitleCol)
    Q_PROPERTY(QColor TickCol READ tickColor WRITE setTickCol)
    Q_PROPERTY(bool FrameOn MEMBER FrameOn WRITE setFrameOn)
    Q_PROPERTY(QFont TitleFnt MEMBER TitleFnt WRITE setTitleFnt)
    Q_PROPERTY(QFont TickFnt MEMBER TickFnt WRITE setTickFnt)
    Q_PROPERTY(double GrRatio MEMBER GrRatio WRITE setGrRatio)

public:
    // Shows one validation message; the default opens a modal box (OK, no
    // icon) over the control's window.
    using Reporter =
        std::function<void(QWidget* owner, const QString& text, const QString& caption)>;

    // An empty diagram (DataOn false) with its frame child, placed in the
    // parent by the fractions vLeft, vTop, vRight, vBottom.
    explicit TPolarDisp(QWidget* parent = nullptr);
    ~TPolarDisp() override;

    // Copies the spoke labels (one per value) into TicLabel.
    void SetLabels(const QStringList& labels);
    // Copies the four corner captions (top left, top right, bottom left,
    // bottom right) into LegList.
    void SetLegs(const QStringList& legends);
    // Copies the font of the corner captions.
    void SetTitleFnt(const QFont& font);
    // Copies the font of the ring values and spoke labels.
    void SetTickFnt(const QFont& font);

    // The most series and values per series that CheckData accepts.
    static constexpr int MaxRows = 5;
    static constexpr int MaxVals = 20;

    // Replaces the held table by a zeroed one of nRows x nVals (none for a
    // count of 0 or below). Throws nebelkamm::Exception, keeping the held
    // table, beyond MaxRows x MaxVals.
    void New_Data();
    // Stores value in every cell of the nRows x nVals table; nothing
    // without a table. DataOn stays as it is.
    void Init_Data(double value);
    // Releases the table and switches DataOn off.
    void Clear_Data();

    // What CheckData returns: an error (below 0, nothing is drawn) or the
    // last correction it made (above 0, drawn after the correction).
    enum CheckCode : int {
        CheckTooFewData = -1,      // fewer than 1 series or 3 values, or no table
        CheckTooManySeries = -2,   // more than MaxRows series
        CheckTooManyValues = -3,   // more than MaxVals values per series
        CheckValueOutOfRange = -4, // a value beyond 1e10 in magnitude, or NaN
        CheckOk = 0,
        CheckGridReduced = 1,    // nGrid above 10, set to 10
        CheckLabelsMissing = 2,  // fewer spoke labels than values
        CheckScaleRaised = 3,    // a value beyond maxVal; maxVal raised to 1.1 x |value|
        CheckNegativeZeroed = 4, // a negative value set to 0
    };
    // Validates the counts and the table, corrects in place what it can,
    // reports each finding through the reporter and returns a CheckCode.
    int CheckData();

    // One paint onto any device, at the control's present size.
    void Paint(QPainter& painter);
    // Moves the control to its parent-relative bounds.
    void Place();

    // Sends the validation messages to reporter instead of message boxes;
    // an empty one restores the boxes.
    void SetReporter(Reporter reporter);
    // The default reporter: a modal box over owner's window, OK, no icon.
    static void ShowMessageBox(QWidget* owner, const QString& text, const QString& caption);

    // The colours as Designer shows them.
    QColor polyColor() const { return nebelkamm::ToQColor(PolyCol); }
    QColor gridColor() const { return nebelkamm::ToQColor(GridCol); }
    QColor titleColor() const { return nebelkamm::ToQColor(TitleCol); }
    QColor tickColor() const { return nebelkamm::ToQColor(TickCol); }

    // The names a form compiled by uic calls; each just stores.
    void setNGrid(int v) { nGrid = v; }
    void setVLeft(double v) { vLeft = v; }
    void setVTop(double v) { vTop = v; }
    void setVRight(double v) { vRight = v; }
    void setVBottom(double v) { vBottom = v; }
    void setNRows(int v) { nRows = v; }
    void setNVals(int v) { nVals = v; }
    void setMaxVal(double v) { maxVal = v; }
    void setTicLabel(const QStringList& v) { SetLabels(v); }
    void setLegList(const QStringList& v) { SetLegs(v); }
    void setGridOn(bool v) { GridOn = v; }
    void setTickOn(bool v) { TickOn = v; }
    void setMarkOn(bool v) { MarkOn = v; }
    void setRangeOn(bool v) { RangeOn = v; }
    void setRange_a(double v) { range_a = v; }
    void setRange_b(double v) { range_b = v; }
    void setPolyCol(const QColor& c) { PolyCol = nebelkamm::ToTColor(c); }
    void setGridCol(const QColor& c) { GridCol = nebelkamm::ToTColor(c); }
    void setTitleCol(const QColor& c) { TitleCol = nebelkamm::ToTColor(c); }
    void setTickCol(const QColor& c) { TickCol = nebelkamm::ToTColor(c); }
    void setFrameOn(bool v) { FrameOn = v; }
    void setTitleFnt(const QFont& v) { SetTitleFnt(v); }
    void setTickFnt(const QFont& v) { SetTickFnt(v); }
    void setGrRatio(double v) { GrRatio = v; }

    double vLeft = 0;
    double vTop = 0;
    double vRight = 0;
    double vBottom = 0;
    int xMid = 0;
    int yMid = 0;
    int nRows = 0;
    int nVals = 0;
    double maxVal = 0;
    QStringList TicLabel;
    QStringList LegList;
    bool GridOn = false;
    bool TickOn = false;
    bool MarkOn = false;
    bool RangeOn = false;
    double range_a = 0;
    double range_b = 0;
    nebelkamm::TColor PolyCol = nebelkamm::clBlack;
    nebelkamm::TColor GridCol = nebelkamm::clBlack;
    nebelkamm::TColor TitleCol = nebelkamm::clBlack;
    nebelkamm::TColor TickCol = nebelkamm::clBlack;
    bool FrameOn = false;
    QFont TitleFnt;
    QFont TickFnt;
    int nGrid = 0;
    double GrRatio = 0;
    QFrame* Bevel = nullptr;
    int CheckResult = 0;
    TPolarData Data;
    bool DataOn = false;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void paintPoly(nebelkamm::TCanvas& canvas);
    void paintGrid(nebelkamm::TCanvas& canvas);
    void paintTitle(nebelkamm::TCanvas& canvas);
    void paintLabel(nebelkamm::TCanvas& canvas);
    void paintMarker(nebelkamm::TCanvas& canvas);

    QRect Placement() const;
    QPoint SpokeEnd(int j) const;
    void Message(const QString& text, const QString& caption);
    void FlushMessages();

    struct PendingMessage {
        QString text, caption;
    };
    std::vector<PendingMessage> pending_;
    Reporter reporter_;
    bool painting_ = false;
    bool flushing_ = false;
};
