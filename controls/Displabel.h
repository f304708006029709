// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Color.h"
#include "platform/Styles.h"

#include <QColor>
#include <QLabel>
#include <QString>

#include <utility>

namespace nebelkamm {
class TCanvas;
}

// A label that paints a plot area inside its own bounds: a rectangle placed
// by fractions of the control's size, filled, outlined and divided by an
// evenly spaced grid. The axis captions are carried, not drawn.
class TDispLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(bool GridOn READ GridVisible WRITE ShowGrid)
    Q_PROPERTY(nebelkamm::TPenStyle GridStyle READ GetGridStyle WRITE SetGridStyle)
    Q_PROPERTY(QString XLabel READ GetXLabel WRITE SetXLabel)
    Q_PROPERTY(QString YLabel READ GetYLabel WRITE SetYLabel)
    Q_PROPERTY(int XTick READ GetXTick WRITE SetXTick)
    Q_PROPERTY(int YTick READ GetYTick WRITE SetYTick)
    Q_PROPERTY(QColor GridColor READ gridColor WRITE setGridColor)
    Q_PROPERTY(QColor DispColor READ dispColor WRITE setDispColor)
    Q_PROPERTY(double GridLeft READ GetGrLeft WRITE SetGrLeft)
    Q_PROPERTY(double GridTop READ GetGrTop WRITE SetGrTop)
    Q_PROPERTY(double GridWidth READ GetGrWidth WRITE SetGrWidth)
    Q_PROPERTY(double GridHeight READ GetGrHeight WRITE SetGrHeight)
    Q_PROPERTY(nebelkamm::TAlign Align READ Align WRITE SetAlign)

public:
    // A label filling its parent, with a 5 x 4 dotted grid in a frame that
    // covers the middle 80 %; the caption stands at the top left.
    explicit TDispLabel(QWidget* parent = nullptr);
    ~TDispLabel() override;

    // Each pair reads a property and sets it; a setter always repaints.
    // Whether the dotted grid is drawn inside the frame.
    bool GridVisible() const { return FGridOn; }
    void ShowGrid(bool on) { Assign(FGridOn, on); }
    // The pen of the grid lines.
    nebelkamm::TPenStyle GetGridStyle() const { return FGridStyle; }
    void SetGridStyle(nebelkamm::TPenStyle style) { Assign(FGridStyle, style); }
    // The axis captions; stored for the owner, not drawn by the control.
    QString GetXLabel() const { return FXLabel; }
    void SetXLabel(QString text) { Assign(FXLabel, std::move(text)); }
    QString GetYLabel() const { return FYLabel; }
    void SetYLabel(QString text) { Assign(FYLabel, std::move(text)); }
    // How many cells the grid has across and down (none below 2).
    int GetXTick() const { return FXTick; }
    void SetXTick(int ticks) { Assign(FXTick, ticks); }
    int GetYTick() const { return FYTick; }
    void SetYTick(int ticks) { Assign(FYTick, ticks); }
    // The colour of the frame's outline and grid, and of its fill.
    nebelkamm::TColor GetGridColor() const { return FGridColor; }
    void SetGridColor(nebelkamm::TColor color) { Assign(FGridColor, color); }
    nebelkamm::TColor GetDispColor() const { return FDispColor; }
    void SetDispColor(nebelkamm::TColor color) { Assign(FDispColor, color); }
    // The frame's left, top, width and height as fractions of the control.
    double GetGrLeft() const { return FGridLeft; }
    void SetGrLeft(double fraction) { Assign(FGridLeft, fraction); }
    double GetGrTop() const { return FGridTop; }
    void SetGrTop(double fraction) { Assign(FGridTop, fraction); }
    double GetGrWidth() const { return FGridWidth; }
    void SetGrWidth(double fraction) { Assign(FGridWidth, fraction); }
    double GetGrHeight() const { return FGridHeight; }
    void SetGrHeight(double fraction) { Assign(FGridHeight, fraction); }

    // Qt's colour type, for forms and Designer.
    QColor gridColor() const { return nebelkamm::ToQColor(FGridColor); }
    QColor dispColor() const { return nebelkamm::ToQColor(FDispColor); }

    // The names a form compiled by uic calls.
    void setGridOn(bool on) { ShowGrid(on); }
    void setGridStyle(nebelkamm::TPenStyle style) { SetGridStyle(style); }
    void setXLabel(const QString& text) { SetXLabel(text); }
    void setYLabel(const QString& text) { SetYLabel(text); }
    void setXTick(int ticks) { SetXTick(ticks); }
    void setYTick(int ticks) { SetYTick(ticks); }
    void setGridColor(const QColor& c) { SetGridColor(nebelkamm::ToTColor(c)); }
    void setDispColor(const QColor& c) { SetDispColor(nebelkamm::ToTColor(c)); }
    void setGridLeft(double f) { SetGrLeft(f); }
    void setGridTop(double f) { SetGrTop(f); }
    void setGridWidth(double f) { SetGrWidth(f); }
    void setGridHeight(double f) { SetGrHeight(f); }
    void setAlign(nebelkamm::TAlign align) { SetAlign(align); }

    // The layout in the parent; nebelkamm::alClient keeps the control
    // filling its parent's client area.
    nebelkamm::TAlign Align() const { return align_; }
    void SetAlign(nebelkamm::TAlign align);

    // The frame and grid over whatever the canvas holds, for a control of
    // the given size; the widget paints the label first, then this.
    void Paint(nebelkamm::TCanvas& canvas, int W, int H) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Every setter stores unconditionally and asks for a repaint, even for
    // the present value.
    template <class T> void Assign(T& field, T value) {
        field = std::move(value);
        update();
    }
    void FillParent();

    bool FGridOn = false;
    nebelkamm::TPenStyle FGridStyle = nebelkamm::psSolid;
    QString FXLabel;
    QString FYLabel;
    int FXTick = 0;
    int FYTick = 0;
    nebelkamm::TColor FGridColor = nebelkamm::clBlack;
    nebelkamm::TColor FDispColor = nebelkamm::clBlack;
    double FGridLeft = 0;
    double FGridTop = 0;
    double FGridWidth = 0;
    double FGridHeight = 0;

    nebelkamm::TAlign align_ = nebelkamm::alNone;
};
