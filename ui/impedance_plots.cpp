#include "impedance_plots.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "analysis/impedance_figures.h"

namespace korvel {
namespace {

const QColor kRColour(200, 40, 40);
const QColor kXColour(30, 100, 200);
const QColor kZColour(40, 150, 60);
const QColor kCableColour(230, 130, 20);
const QColor kGridColour(210, 210, 210);
const QColor kMarkerColour(90, 0, 140);
// Beyond this the chart's scale would flatten everything else.
constexpr double kOhmLimit = 2000.0;

// A round step (1, 2 or 5 times a power of ten) giving about `ticks` ticks.
double NiceStep(double span, int ticks) {
    if (!(span > 0))
        return 1;
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw)
            return m * power;
    }
    return 10 * power;
}

void DrawMarkerLabel(QPainter& p, QPointF at, int number, bool selected) {
    QFont font = p.font();
    font.setBold(selected);
    p.setFont(font);
    p.setPen(kMarkerColour);
    p.drawText(QRectF(at.x() - 10, at.y() - 16, 20, 14), Qt::AlignCenter, QString::number(number));
    font.setBold(false);
    p.setFont(font);
}

template <typename ToX, typename ToY>
void DrawChartGrid(QPainter& g, const QRectF& plot, double low, double high, double step, double f0,
                   double f1, std::size_t n, ToX X, ToY Y) {
    g.setPen(kGridColour);
    for (double v = low; v <= high + step / 2; v += step) {
        g.drawLine(QPointF(plot.left(), Y(v)), QPointF(plot.right(), Y(v)));
        g.setPen(Qt::black);
        g.drawText(QRectF(0, Y(v) - 8, plot.left() - 6, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v, 'g', 5));
        g.setPen(kGridColour);
    }
    const double fStep = NiceStep(f1 - f0, 6);
    for (double mhz = std::ceil(f0 / fStep) * fStep; n && mhz <= f1 + 1e-9; mhz += fStep) {
        g.drawLine(QPointF(X(mhz), plot.top()), QPointF(X(mhz), plot.bottom()));
        g.setPen(Qt::black);
        g.drawText(QRectF(X(mhz) - 40, plot.bottom() + 4, 80, 16), Qt::AlignCenter,
                   QString::number(mhz, 'g', 6));
        g.setPen(kGridColour);
    }
    g.setPen(Qt::black);
    g.drawText(QRectF(plot.left(), plot.bottom() + 18, plot.width(), 14), Qt::AlignCenter,
               QStringLiteral("MHz"));
    g.drawText(QRectF(0, 4, plot.left() - 6, 16), Qt::AlignRight, QStringLiteral("\u03a9"));
    g.drawRect(plot);
}

}  // namespace

ImpedancePlot::ImpedancePlot(const ImpedanceSnapshot& data, const ImpedanceMarkers& markers,
                             PointPicked picked, QWidget* parent)
    : QWidget(parent), data_(data), markers_(markers), picked_(std::move(picked)) {
    setMinimumSize(240, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImpedancePlot::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const auto i = PointAt(event->position()))
            picked_(*i, false);
    }
}

void ImpedancePlot::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        if (const auto i = PointAt(event->position()))
            picked_(*i, true);
    }
}

// ---- R, X and |Z| against frequency ----

QRectF ImpedanceChart::Plot() const {
    return QRectF(56, 26, std::max(10, width() - 72), std::max(10, height() - 56));
}

std::optional<std::size_t> ImpedanceChart::PointAt(QPointF at) const {
    const QRectF plot = Plot();
    const std::size_t n = data_.freqMHz.size();
    if (n < 2 || at.x() < plot.left() - 4 || at.x() > plot.right() + 4)
        return std::nullopt;
    const double k = (at.x() - plot.left()) / plot.width() * (n - 1);
    return static_cast<std::size_t>(std::clamp(std::lround(k), 0L, static_cast<long>(n) - 1));
}

void ImpedanceChart::paintEvent(QPaintEvent*) {
    QPainter p(this);

    const QRectF plot = Plot();
    const std::size_t n = data_.freqMHz.size();
    // Figures of every settled point, and the vertical scale they need.
    std::vector<ImpedanceFigures> f(n);
    double low = 0, high = 50;
    for (std::size_t i = 0; i < n; ++i) {
        if (!data_.Settled(i))
            continue;
        f[i] = FiguresFromGamma(data_.points[i].gamma, data_.freqMHz[i]);
        high = std::max({high, std::min(f[i].zMag, kOhmLimit), std::min(f[i].r, kOhmLimit)});
        low = std::min(low, std::max(f[i].x, -kOhmLimit));
    }
    const double step = NiceStep(high - low, 6);
    low = std::floor(low / step) * step;
    high = std::ceil(high / step) * step;
    const double f0 = n ? data_.freqMHz.front() : 0, f1 = n ? data_.freqMHz.back() : 1;
    const auto X = [&](double mhz) {
        return plot.left() + (f1 > f0 ? (mhz - f0) / (f1 - f0) : 0) * plot.width();
    };
    const auto Y = [&](double ohm) {
        const double v = std::clamp(ohm, low, high);
        return plot.bottom() - (v - low) / (high - low) * plot.height();
    };
    // The grid and its labels change only with the scale: drawn once for it.
    const GridKey key{size(), low, high, step, f0, f1};
    if (!(key == gridKey_)) {
        gridKey_ = key;
        grid_ = QImage(size(), QImage::Format_RGB32);
        grid_.fill(Qt::white);
        QPainter g(&grid_);
        DrawChartGrid(g, plot, low, high, step, f0, f1, n, X, Y);
    }
    p.drawImage(0, 0, grid_);
    // X's zero line.
    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawLine(QPointF(plot.left(), Y(0)), QPointF(plot.right(), Y(0)));
    // The curves, broken where a point is not settled.
    // Drawn without antialiasing, as the main window's charts: a tick costs half.
    const struct {
        double ImpedanceFigures::*value;
        QColor colour;
        const char* name;
    } curves[] = {{&ImpedanceFigures::r, kRColour, "R"},
                  {&ImpedanceFigures::x, kXColour, "X"},
                  {&ImpedanceFigures::zMag, kZColour, "|Z|"}};
    for (const auto& c : curves) {
        p.setPen(QPen(c.colour, 2));
        QPainterPath path;
        bool open = false;
        for (std::size_t i = 0; i < n; ++i) {
            if (!data_.Settled(i)) {
                open = false;
                continue;
            }
            const QPointF at(X(data_.freqMHz[i]), Y(f[i].*c.value));
            open ? path.lineTo(at) : path.moveTo(at);
            open = true;
        }
        p.drawPath(path);
    }
    // Legend, top left.
    double x = plot.left() + 8;
    for (const auto& c : curves) {
        p.setPen(QPen(c.colour, 3));
        p.drawLine(QPointF(x, 14), QPointF(x + 18, 14));
        p.setPen(Qt::black);
        p.drawText(QPointF(x + 22, 18), QString::fromUtf8(c.name));
        x += 60;
    }
    // Markers.
    for (std::size_t k = 0; k < markers_.At().size(); ++k) {
        const std::size_t i = markers_.At()[k];
        if (i >= n)
            continue;
        const bool selected = static_cast<int>(k) == markers_.Selected();
        p.setPen(QPen(kMarkerColour, selected ? 2 : 1));
        p.drawLine(QPointF(X(data_.freqMHz[i]), plot.top()),
                   QPointF(X(data_.freqMHz[i]), plot.bottom()));
        // Inside the plot's top edge, clear of the legend above it.
        DrawMarkerLabel(p, QPointF(X(data_.freqMHz[i]) + 8, plot.top() + 16),
                        static_cast<int>(k) + 1, selected);
    }
}

// ---- Smith chart ----

double ImpedanceSmithChart::Radius() const {
    return std::max(10.0, std::min(width(), height()) / 2.0 - 18);
}

QPointF ImpedanceSmithChart::Place(std::complex<double> g) const {
    return QPointF(width() / 2.0 + g.real() * Radius(), height() / 2.0 - g.imag() * Radius());
}

std::optional<std::size_t> ImpedanceSmithChart::PointAt(QPointF at) const {
    std::optional<std::size_t> best;
    double bestDistance = 20.0;  // pixels
    for (std::size_t i = 0; i < data_.points.size(); ++i) {
        if (!data_.Settled(i))
            continue;
        const QPointF d = Place(data_.points[i].gamma) - at;
        const double distance = std::hypot(d.x(), d.y());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

void ImpedanceSmithChart::DrawGrid() {
    grid_ = QImage(size(), QImage::Format_RGB32);
    grid_.fill(Qt::white);
    QPainter p(&grid_);
    p.setRenderHint(QPainter::Antialiasing);
    const double r = Radius();
    const QPointF centre(width() / 2.0, height() / 2.0);
    QPainterPath disc;
    disc.addEllipse(centre, r, r);
    p.setPen(kGridColour);
    p.setClipPath(disc);
    for (const double k : {0.2, 0.5, 1.0, 2.0, 5.0}) {
        // Constant resistance k: centre k/(1+k), radius 1/(1+k).
        p.drawEllipse(Place({k / (1 + k), 0}), r / (1 + k), r / (1 + k));
        // Constant reactance +-k: centre (1, +-1/k), radius 1/k.
        for (const double s : {1.0, -1.0})
            p.drawEllipse(Place({1, s / k}), r / k, r / k);
    }
    p.drawLine(Place({-1, 0}), Place({1, 0}));
    p.setClipping(false);
    p.setPen(Qt::black);
    p.drawEllipse(centre, r, r);
}

void ImpedanceSmithChart::paintEvent(QPaintEvent*) {
    // The grid is drawn once per size: only the traces change with the data.
    if (grid_.size() != size())
        DrawGrid();
    QPainter p(this);
    p.drawImage(0, 0, grid_);
    p.setRenderHint(QPainter::Antialiasing);
    // Traces: at the instrument, then at the cable's far end.
    const auto trace = [&](auto gammaAt, QColor colour) {
        p.setPen(QPen(colour, 1.6));
        QPainterPath path;
        bool open = false;
        for (std::size_t i = 0; i < data_.points.size(); ++i) {
            const std::optional<std::complex<double>> g = gammaAt(i);
            if (!g) {
                open = false;
                continue;
            }
            open ? path.lineTo(Place(*g)) : path.moveTo(Place(*g));
            open = true;
        }
        p.drawPath(path);
    };
    trace(
        [&](std::size_t i) {
            return data_.Settled(i) ? std::optional(data_.points[i].gamma) : std::nullopt;
        },
        kXColour);
    if (data_.cableM > 0)
        trace([&](std::size_t i) { return data_.CableGamma(i); }, kCableColour);
    // Legend.
    p.setPen(QPen(kXColour, 3));
    p.drawLine(QPointF(6, 10), QPointF(22, 10));
    p.setPen(Qt::black);
    p.drawText(QPointF(26, 14), QStringLiteral("instrument"));
    if (data_.cableM > 0) {
        p.setPen(QPen(kCableColour, 3));
        p.drawLine(QPointF(6, 26), QPointF(22, 26));
        p.setPen(Qt::black);
        p.drawText(QPointF(26, 30), QStringLiteral("cable end (%1 m)").arg(data_.cableM));
    }
    // Markers.
    for (std::size_t k = 0; k < markers_.At().size(); ++k) {
        const std::size_t i = markers_.At()[k];
        if (!data_.Settled(i))
            continue;
        const bool selected = static_cast<int>(k) == markers_.Selected();
        const QPointF at = Place(data_.points[i].gamma);
        p.setPen(QPen(kMarkerColour, selected ? 2 : 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(at, 4, 4);
        DrawMarkerLabel(p, at, static_cast<int>(k) + 1, selected);
    }
}

}  // namespace korvel
