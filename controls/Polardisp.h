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
class TCanvas;

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
    Q_PROPERTY(int nGrid MEMBER nGrid)
    Q_PROPERTY(double vLeft MEMBER vLeft)
    Q_PROPERTY(double vTop MEMBER vTop)
    Q_PROPERTY(double vRight MEMBER vRight)
    Q_PROPERTY(double vBottom MEMBER vBottom)
    Q_PROPERTY(int nRows MEMBER nRows)
    Q_PROPERTY(int nVals MEMBER nVals)
    Q_PROPERTY(double maxVal MEMBER maxVal)
    Q_PROPERTY(QStringList TicLabel MEMBER TicLabel WRITE SetLabels)
    Q_PROPERTY(QStringList LegList MEMBER LegList WRITE SetLegs)
    Q_PROPERTY(bool GridOn MEMBER GridOn)
    Q_PROPERTY(bool TickOn MEMBER TickOn)
    Q_PROPERTY(bool MarkOn MEMBER MarkOn)
    Q_PROPERTY(bool RangeOn MEMBER RangeOn)
    Q_PROPERTY(double range_a MEMBER range_a)
    Q_PROPERTY(double range_b MEMBER range_b)
    Q_PROPERTY(QColor PolyCol READ polyColor WRITE setPolyColor)
    Q_PROPERTY(QColor GridCol READ gridColor WRITE setGridColor)
    Q_PROPERTY(QColor TitleCol READ titleColor WRITE setTitleColor)
    Q_PROPERTY(QColor TickCol READ tickColor WRITE setTickColor)
    Q_PROPERTY(bool FrameOn MEMBER FrameOn)
    Q_PROPERTY(QFont TitleFnt MEMBER TitleFnt WRITE SetTitleFnt)
    Q_PROPERTY(QFont TickFnt MEMBER TickFnt WRITE SetTickFnt)
    Q_PROPERTY(double GrRatio MEMBER GrRatio)

public:
    // Shows one validation message; the default opens a modal box (OK, no
    // icon) over the control's window.
    using Reporter =
        std::function<void(QWidget* owner, const QString& text, const QString& caption)>;

    explicit TPolarDisp(QWidget* parent = nullptr);
    ~TPolarDisp() override;

    void SetLabels(const QStringList& labels);
    void SetLegs(const QStringList& legends);
    void SetTitleFnt(const QFont& font);
    void SetTickFnt(const QFont& font);

    // Replaces the held table by a zeroed one of nRows x nVals.
    void New_Data();
    void Init_Data(double value);
    void Clear_Data();
    int CheckData();

    // One paint onto any device, at the control's present size.
    void Paint(QPainter& painter);
    // Moves the control to its parent-relative bounds.
    void Place();

    void SetReporter(Reporter reporter);
    static void ShowMessageBox(QWidget* owner, const QString& text, const QString& caption);

    QColor polyColor() const { return ToQColor(PolyCol); }
    void setPolyColor(const QColor& c) { PolyCol = ToTColor(c); }
    QColor gridColor() const { return ToQColor(GridCol); }
    void setGridColor(const QColor& c) { GridCol = ToTColor(c); }
    QColor titleColor() const { return ToQColor(TitleCol); }
    void setTitleColor(const QColor& c) { TitleCol = ToTColor(c); }
    QColor tickColor() const { return ToQColor(TickCol); }
    void setTickColor(const QColor& c) { TickCol = ToTColor(c); }

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
    TColor PolyCol = clBlack;
    TColor GridCol = clBlack;
    TColor TitleCol = clBlack;
    TColor TickCol = clBlack;
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
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintPoly(TCanvas& canvas);
    void paintGrid(TCanvas& canvas);
    void paintTitle(TCanvas& canvas);
    void paintLabel(TCanvas& canvas);
    void paintMarker(TCanvas& canvas);

    QRect Placement() const;
    void FollowParent();
    QPoint SpokeEnd(int j) const;
    void Message(const QString& text, const QString& caption);
    void FlushMessages();

    struct PendingMessage {
        QString text, caption;
    };
    std::vector<PendingMessage> pending_;
    Reporter reporter_;
    bool painting_ = false;
    bool flushQueued_ = false;
    bool flushing_ = false;
    QWidget* watchedParent_ = nullptr;
};
