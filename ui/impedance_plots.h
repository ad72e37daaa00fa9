// The Impedance window's two pictures of one range: R, X and |Z| against
// frequency on one chart, and the reflection's trace on a Smith chart (at the
// instrument, and at the cable's far end when a cable length is set). Both
// show the markers, and a click or drag on either places one.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstddef>
#include <functional>

#include "impedance_data.h"
#include "impedance_markers.h"

namespace korvel {

// A press (drag false) or a move with the button held (drag true) at point i.
using PointPicked = std::function<void(std::size_t point, bool drag)>;

class ImpedancePlot : public QWidget {
  public:
    ImpedancePlot(const ImpedanceSnapshot& data, const ImpedanceMarkers& markers,
                  PointPicked picked, QWidget* parent);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // The point a click at `at` means, if any.
    virtual std::optional<std::size_t> PointAt(QPointF at) const = 0;

    const ImpedanceSnapshot& data_;
    const ImpedanceMarkers& markers_;

  private:
    PointPicked picked_;
};

class ImpedanceChart final : public ImpedancePlot {
  public:
    using ImpedancePlot::ImpedancePlot;
    QSize sizeHint() const override { return {640, 300}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    std::optional<std::size_t> PointAt(QPointF at) const override;

  private:
    QRectF Plot() const;

    // What the cached grid was drawn for.
    struct GridKey {
        QSize size;
        double low = 0, high = 0, step = 0, f0 = 0, f1 = 0;
        bool operator==(const GridKey&) const = default;
    };
    GridKey gridKey_;
    QImage grid_;
};

class ImpedanceSmithChart final : public ImpedancePlot {
  public:
    using ImpedancePlot::ImpedancePlot;
    QSize sizeHint() const override { return {300, 300}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    std::optional<std::size_t> PointAt(QPointF at) const override;

  private:
    QPointF Place(std::complex<double> gamma) const;
    double Radius() const;
    void DrawGrid();

    QImage grid_;
};

}  // namespace korvel
