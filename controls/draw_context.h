// A drawing surface with the state model the controls' drawing code is written
// against: a current position for MoveTo/LineTo, a selected pen and brush, a
// text colour, background colour and mode, a text alignment and a font. It sits
// on a QPainter that it either owns (painting on a device of its own) or
// borrows.
//
// Pixel rules: LineTo leaves out the last pixel, Rectangle and FillRect cover
// right - left by bottom - top pixels, pens of width 1 are not antialiased.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRegion>
#include <QString>
#include <vector>

#include "color_ref.h"
#include "gdi_geometry.h"

namespace korvel {

// Text alignment flags (combinable: one horizontal, one vertical).
inline constexpr int kTaLeft = 0;
inline constexpr int kTaRight = 2;
inline constexpr int kTaCenter = 6;
inline constexpr int kTaTop = 0;
inline constexpr int kTaBottom = 8;
inline constexpr int kTaBaseline = 24;

// One text drawn by TextOut, as the caller asked for it.
struct TextDraw {
    QString text;
    QPoint at;       // reference point given to TextOut
    int align = 0;   // kTa* flags in effect
    ColorRef color;  // text colour in effect
    bool opaque = false;
    int cellHeight = 0;  // line height of the font in effect, pixels
    QFont font;          // the font in effect
};

// Sees every TextOut of the calling thread while set (null: nothing does),
// so that texts and their places can be checked without reading glyphs.
using TextObserver = void (*)(const TextDraw& draw);
void SetTextObserver(TextObserver observer);

// The face that surfaces start with: a bold sans-serif of 16-pixel lines,
// the usual default of a fresh window surface.
QFont DefaultSurfaceFont();

// A sans-serif face whose line (ascent + descent) is `cellHeight` pixels.
QFont FontWithCellHeight(const QString& family, int cellHeight);

class DrawContext {
  public:
    DrawContext() = default;
    // Owns a painter that paints on `device` until End() or destruction.
    explicit DrawContext(QPaintDevice* device);
    virtual ~DrawContext();
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    bool Begin(QPaintDevice* device);
    // Draws through a painter owned by someone else (not ended here).
    void Borrow(QPainter* painter);
    void End();
    bool IsActive() const { return m_painter != nullptr && m_painter->isActive(); }
    QPainter* Painter() { return m_painter; }

    // Puts back the state of a fresh surface: black 1-pixel pen, white brush,
    // black text on an opaque white background, left-top alignment, default
    // font, no clipping, current position (0, 0).
    void ResetState();

    void SelectPen(ColorRef color, int width = 1);
    void SelectBrush(ColorRef color);
    void SelectNullBrush();
    void SetTextColor(ColorRef color) { m_textColor = color; }
    void SetBkColor(ColorRef color) { m_bkColor = color; }
    void SetBkTransparent(bool transparent) { m_bkTransparent = transparent; }
    void SetTextAlign(int align) { m_textAlign = align; }
    void SelectFont(const QFont& font);
    void SetClipRegion(const QRegion* region);

    void MoveTo(int x, int y) { m_position = QPoint(x, y); }
    QPoint Position() const { return m_position; }
    void LineTo(int x, int y);
    void SetPixel(int x, int y, ColorRef color);
    void Rectangle(const GdiRect& r);
    void FillRect(const GdiRect& r, ColorRef color);
    void Arc(const GdiRect& box, int xs, int ys, int xe, int ye);
    void Polygon(const QPoint* points, int count);
    void TextOut(int x, int y, const QString& text);
    // The width TextOut gives `text` in the selected font.
    int TextWidth(const QString& text) const;
    // Copies `size` pixels of `source` at `from` to (x, y) with the given
    // composition (plain copy by default).
    void BitBlt(int x, int y, QSize size, const QImage& source, QPoint from,
                QPainter::CompositionMode mode = QPainter::CompositionMode_Source);

  private:
    QPainter m_ownPainter;
    QPainter* m_painter = nullptr;
    QPoint m_position;
    ColorRef m_penColor = RGB(0, 0, 0);
    int m_penWidth = 1;
    ColorRef m_textColor = RGB(0, 0, 0);
    ColorRef m_bkColor = RGB(255, 255, 255);
    bool m_bkTransparent = false;
    int m_textAlign = kTaLeft | kTaTop;
    int m_ascent = 0;
    int m_descent = 0;
    QFont m_font;
};

}  // namespace korvel
