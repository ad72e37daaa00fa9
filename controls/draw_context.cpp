#include "draw_context.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHash>
#include <QPaintEngine>
#include <QStaticText>
#include <QThread>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace korvel {

namespace {

thread_local TextObserver t_textObserver = nullptr;

QPen SolidPen(ColorRef color, int width) {
    if (width <= 1) {
        // A cosmetic pen takes the raster engine's fast line path; flat caps
        // make the line stop short of its end point.
        return QPen(ToQColor(color), 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    }
    return QPen(ToQColor(color), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

using TextCache = QHash<QString, QStaticText>;

TextCache& ThreadTextCache() {
    static thread_local TextCache cache;
    return cache;
}

// Laid-out texts hold on to font engines: let them go with the application
// rather than after it, at the main thread's exit.
void ReleaseMainThreadTextCache() {
    ThreadTextCache().clear();
}

// Texts laid out once and kept: the controls draw the same labels on every
// paint, and laying a text out costs more than drawing it.
const QStaticText& LaidOutText(const QString& text, const QFont& font) {
    constexpr int kMaxCached = 512;
    TextCache& cache = ThreadTextCache();
    static thread_local bool releaseRegistered = false;
    if (!releaseRegistered) {
        releaseRegistered = true;
        const QCoreApplication* app = QCoreApplication::instance();
        if (app != nullptr && app->thread() == QThread::currentThread()) {
            qAddPostRoutine(ReleaseMainThreadTextCache);
        }
    }
    QString key = font.key();
    key += QChar(0);
    key += text;
    auto found = cache.constFind(key);
    if (found == cache.constEnd()) {
        if (cache.size() >= kMaxCached) {
            cache.clear();
        }
        QStaticText laidOut(text);
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.setPerformanceHint(QStaticText::AggressiveCaching);
        laidOut.prepare(QTransform(), font);
        found = cache.insert(key, laidOut);
    }
    return found.value();
}

}  // namespace

void SetTextObserver(TextObserver observer) {
    t_textObserver = observer;
}

QFont FontWithCellHeight(const QString& family, int cellHeight) {
    // Fonts are asked for by line height; Qt sizes them by em. The pixel size
    // whose line comes closest (not above on a tie) is found once per family
    // and height.
    static thread_local QHash<QPair<QString, int>, int> pixelSizes;
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    if (cellHeight <= 0) {
        font.setPixelSize(1);
        return font;
    }
    const auto key = qMakePair(family, cellHeight);
    auto found = pixelSizes.constFind(key);
    if (found == pixelSizes.constEnd()) {
        auto lineOf = [&font](int pixels) {
            font.setPixelSize(pixels);
            return QFontMetrics(font).height();
        };
        const int measured = lineOf(cellHeight);
        int best = cellHeight;
        if (measured > 0) {
            best = std::max(1, (cellHeight * cellHeight + measured / 2) / measured);
        }
        int bestError = std::abs(lineOf(best) - cellHeight);
        for (int pixels : {best - 1, best + 1}) {
            const int error = pixels > 0 ? std::abs(lineOf(pixels) - cellHeight) : bestError;
            const bool tieBelow = error == bestError && lineOf(pixels) < lineOf(best);
            if (pixels > 0 && (error < bestError || tieBelow)) {
                best = pixels;
                bestError = error;
            }
        }
        found = pixelSizes.insert(key, best);
    }
    font.setPixelSize(found.value());
    return font;
}

QFont DefaultSurfaceFont() {
    QFont font = FontWithCellHeight(QStringLiteral("Arial"), 16);
    font.setBold(true);
    return font;
}

DrawContext::DrawContext(QPaintDevice* device) {
    Begin(device);
}

DrawContext::~DrawContext() {
    End();
}

bool DrawContext::Begin(QPaintDevice* device) {
    End();
    if (device == nullptr || !m_ownPainter.begin(device)) {
        return false;
    }
    m_painter = &m_ownPainter;
    ResetState();
    return true;
}

void DrawContext::Borrow(QPainter* painter) {
    End();
    m_painter = painter;
    if (m_painter != nullptr) {
        ResetState();
    }
}

void DrawContext::End() {
    if (m_painter == &m_ownPainter && m_ownPainter.isActive()) {
        m_ownPainter.end();
    }
    m_painter = nullptr;
}

void DrawContext::ResetState() {
    if (m_painter == nullptr) {
        return;
    }
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setRenderHint(QPainter::TextAntialiasing, true);
    m_painter->setClipping(false);
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    SelectPen(RGB(0, 0, 0), 1);
    SelectBrush(RGB(255, 255, 255));
    m_textColor = RGB(0, 0, 0);
    m_bkColor = RGB(255, 255, 255);
    m_bkTransparent = false;
    m_textAlign = kTaLeft | kTaTop;
    m_position = QPoint(0, 0);
    SelectFont(DefaultSurfaceFont());
}

void DrawContext::SelectPen(ColorRef color, int width) {
    m_penColor = color;
    m_penWidth = width;
    if (m_painter != nullptr) {
        m_painter->setPen(SolidPen(color, width));
    }
}

void DrawContext::SelectBrush(ColorRef color) {
    if (m_painter != nullptr) {
        m_painter->setBrush(ToQColor(color));
    }
}

void DrawContext::SelectNullBrush() {
    if (m_painter != nullptr) {
        m_painter->setBrush(Qt::NoBrush);
    }
}

void DrawContext::SelectFont(const QFont& font) {
    m_font = font;
    if (m_painter == nullptr) {
        return;
    }
    m_painter->setFont(font);
    const QFontMetrics metrics = m_painter->fontMetrics();
    m_ascent = metrics.ascent();
    m_descent = metrics.descent();
}

void DrawContext::SetClipRegion(const QRegion* region) {
    if (m_painter == nullptr) {
        return;
    }
    if (region == nullptr) {
        m_painter->setClipping(false);
    } else {
        m_painter->setClipRegion(*region);
    }
}

void DrawContext::LineTo(int x, int y) {
    const QPoint from = m_position;
    m_position = QPoint(x, y);
    if (m_painter == nullptr) {
        return;
    }
    if (m_penWidth <= 1 && (from.y() == y || from.x() == x) && from != m_position) {
        // Axis-aligned one-pixel lines are spans: filling them is far cheaper
        // than stroking, and covers the same pixels (end point left out).
        QRect span;
        if (from.y() == y) {
            span = x > from.x() ? QRect(from.x(), y, x - from.x(), 1)
                                : QRect(x + 1, y, from.x() - x, 1);
        } else {
            span = y > from.y() ? QRect(x, from.y(), 1, y - from.y())
                                : QRect(x, y + 1, 1, from.y() - y);
        }
        m_painter->fillRect(span, ToQColor(m_penColor));
        return;
    }
    m_painter->drawLine(from, m_position);
}

void DrawContext::SetPixel(int x, int y, ColorRef color) {
    if (m_painter != nullptr) {
        m_painter->fillRect(QRect(x, y, 1, 1), ToQColor(color));
    }
}

void DrawContext::Rectangle(const GdiRect& r) {
    if (m_painter == nullptr || r.Width() <= 0 || r.Height() <= 0) {
        return;
    }
    m_painter->drawRect(QRect(r.left, r.top, r.Width() - 1, r.Height() - 1));
}

void DrawContext::FillRect(const GdiRect& r, ColorRef color) {
    if (m_painter == nullptr || r.Width() <= 0 || r.Height() <= 0) {
        return;
    }
    m_painter->fillRect(FillArea(r), ToQColor(color));
}

void DrawContext::Arc(const GdiRect& box, int xs, int ys, int xe, int ye) {
    const ArcAngles angles = ArcAnglesFromPoints(box, xs, ys, xe, ye);
    if (m_painter == nullptr || !angles.valid) {
        return;
    }
    const QRect area(box.left, box.top, box.Width() - 1, box.Height() - 1);
    m_painter->drawArc(area, angles.start16, angles.span16);
}

void DrawContext::Polygon(const QPoint* points, int count) {
    if (m_painter == nullptr || points == nullptr || count < 2) {
        return;
    }
    m_painter->drawPolygon(points, count, Qt::OddEvenFill);
}

void DrawContext::TextOut(int x, int y, const QString& text) {
    if (t_textObserver != nullptr) {
        t_textObserver(TextDraw{text, QPoint(x, y), m_textAlign, m_textColor, !m_bkTransparent,
                                m_ascent + m_descent, m_font});
    }
    if (m_painter == nullptr || text.isEmpty()) {
        return;
    }
    const QStaticText& laidOut = LaidOutText(text, m_font);
    const int width = qCeil(laidOut.size().width());
    int left = x;
    if ((m_textAlign & kTaCenter) == kTaCenter) {
        left = x - width / 2;
    } else if ((m_textAlign & kTaRight) == kTaRight) {
        left = x - width;
    }
    int top = y;
    if ((m_textAlign & kTaBaseline) == kTaBaseline) {
        top = y - m_ascent;
    } else if ((m_textAlign & kTaBottom) == kTaBottom) {
        top = y - m_ascent - m_descent;
    }
    if (!m_bkTransparent) {
        m_painter->fillRect(QRect(left, top, width, m_ascent + m_descent), ToQColor(m_bkColor));
    }
    const QPen pen = m_painter->pen();
    m_painter->setPen(ToQColor(m_textColor));
    m_painter->drawStaticText(QPoint(left, top), laidOut);
    m_painter->setPen(pen);
}

int DrawContext::TextWidth(const QString& text) const {
    return text.isEmpty() ? 0 : qCeil(LaidOutText(text, m_font).size().width());
}

void DrawContext::BitBlt(int x, int y, QSize size, const QImage& source, QPoint from,
                         QPainter::CompositionMode mode) {
    if (m_painter == nullptr || size.isEmpty() || source.isNull()) {
        return;
    }
    const QPainter::CompositionMode old = m_painter->compositionMode();
    m_painter->setCompositionMode(mode);
    m_painter->drawImage(QPoint(x, y), source, QRect(from, size));
    m_painter->setCompositionMode(old);
}

}  // namespace korvel
