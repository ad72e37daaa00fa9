// Every text of the main window shows whole: each label, button and check box
// text lies inside its control, clear of the other controls, where the layout
// put it.
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <optional>
#include <vector>

#include "dialog_fixture.h"
#include "dialog_template.h"
#include "dialog_units.h"
#include "label_room.h"
#include "led.h"
#include "progress_overlay.h"

namespace korvel::testing {
namespace {

// A text as its control lays it out, in the window's coordinates.
struct ShownText {
    QWidget* control = nullptr;
    QString text;
    QRect line;  // the text's advance by the font's line height
    QRect ink;   // the pixels its glyphs cover
};

// The pixels `text` in `font` touches, relative to its pen position on the
// baseline: drawn on a blank image with room round it.
QRect InkOf(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    const int margin = metrics.height();
    QImage image(metrics.horizontalAdvance(text) + 2 * margin, 3 * metrics.height(),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(margin, metrics.height() + metrics.ascent(), text);
    }
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != QColor(Qt::white).rgb()) {
                ink |= QRect(x, y, 1, 1);
            }
        }
    }
    return ink.translated(-margin, -metrics.height() - metrics.ascent());
}

// The text of a label, check box or push button, placed as the control places
// it; nullopt for other controls and empty texts.
std::optional<ShownText> TextOf(QWidget* w) {
    QString text;
    QRect area;
    Qt::Alignment alignment;
    if (auto* label = qobject_cast<QLabel*>(w)) {
        text = label->text();
        area = label->contentsRect();
        alignment = label->alignment();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        const bool checkBox = qobject_cast<QCheckBox*>(w) != nullptr;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        text = button->text();
        area = button->style()->subElementRect(
            checkBox ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option,
            button);
        alignment = checkBox ? (Qt::AlignLeft | Qt::AlignVCenter) : Qt::AlignCenter;
    }
    if (text.isEmpty()) {
        return std::nullopt;
    }
    const QFontMetrics metrics(w->font());
    const QSize size(metrics.horizontalAdvance(text), metrics.height());
    const QRect line = QStyle::alignedRect(Qt::LeftToRight, alignment, size, area);
    const QRect ink = InkOf(w->font(), text).translated(line.left(), line.top() + metrics.ascent());
    const QPoint origin = w->pos();
    return ShownText{w, text, line.translated(origin), ink.translated(origin)};
}

// What a control shows besides its text, in the window's coordinates: a check
// box its indicator, the lamp its 16 x 16 cell, a text label nothing (its text
// is checked as a text), a progress strip nothing (it is drawn over the
// charts), every other control its box.
std::optional<QRect> BodyOf(QWidget* w) {
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
        QStyleOptionButton option;
        option.initFrom(box);
        return box->style()
            ->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box)
            .translated(w->pos());
    }
    if (dynamic_cast<CLed*>(w) != nullptr) {
        const QRect& g = w->geometry();
        return QRect(g.center() - QPoint(7, 7), QSize(16, 16));
    }
    if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && !label->text().isEmpty()) {
        return std::nullopt;
    }
    if (dynamic_cast<ProgressOverlay*>(w) != nullptr) {
        return std::nullopt;
    }
    return w->geometry();
}

class TextFitTest : public DialogTest {
  protected:
    std::vector<ShownText> Texts() {
        std::vector<ShownText> texts;
        for (QWidget* w : dialog->findChildren<QWidget*>()) {
            if (w->isVisible()) {
                if (const std::optional<ShownText> shown = TextOf(w)) {
                    texts.push_back(*shown);
                }
            }
        }
        return texts;
    }
};

TEST_F(TextFitTest, EveryTextShowsWholeOrNotAtAll) {
    Open();
    const std::vector<ShownText> texts = Texts();
    const auto withText = std::count_if(MainDialogControls().begin(), MainDialogControls().end(),
                                        [](const ControlTemplate& c) { return *c.text != 0; });
    ASSERT_EQ(texts.size(), static_cast<size_t>(withText));
    int shownCount = 0;
    for (const ShownText& t : texts) {
        const QRect control = t.control->geometry();
        if (!t.ink.intersects(control)) {
            // A check box whose box is all there is to it: the layout gives
            // its label text no room, and another label names it.
            EXPECT_TRUE(qobject_cast<QCheckBox*>(t.control) != nullptr) << t.text.toStdString();
            continue;
        }
        ++shownCount;
        EXPECT_TRUE(control.contains(t.line))
            << t.text.toStdString() << ": line " << t.line.x() << "+" << t.line.width() << " in "
            << control.x() << "+" << control.width();
        EXPECT_TRUE(control.contains(t.ink))
            << t.text.toStdString() << ": ink " << t.ink.x() << "+" << t.ink.width() << " in "
            << control.x() << "+" << control.width();
    }
    EXPECT_EQ(shownCount, static_cast<int>(texts.size()) - 3);  // all but the three boxes' own
}

TEST_F(TextFitTest, TextsStayClearOfOtherControlsAndWhereTheLayoutPutThem) {
    Open();
    const std::vector<ShownText> texts = Texts();
    for (const ShownText& t : texts) {
        if (!t.ink.intersects(t.control->geometry())) {
            continue;  // not shown
        }
        for (QWidget* other : dialog->findChildren<QWidget*>()) {
            if (other == t.control || !other->isVisible() ||
                other->parentWidget() != dialog.get()) {
                continue;
            }
            if (const std::optional<QRect> body = BodyOf(other)) {
                EXPECT_FALSE(t.ink.intersects(*body))
                    << t.text.toStdString() << " runs into control "
                    << other->property("controlId").toInt();
            }
            if (const std::optional<ShownText> near = TextOf(other);
                near && near->ink.intersects(other->geometry())) {
                EXPECT_FALSE(t.ink.intersects(near->ink))
                    << t.text.toStdString() << " runs into " << near->text.toStdString();
            }
        }
    }
    // Each label's text is centred on (or starts at) the box of the layout,
    // however much room it took beside it.
    for (const ControlTemplate& c : MainDialogControls()) {
        if (c.kind != ControlKind::kTextCentred && c.kind != ControlKind::kTextLeft) {
            continue;
        }
        const QRect box(DluToPixelsX(c.x), DluToPixelsY(c.y), DluToPixelsX(c.width),
                        DluToPixelsY(c.height));
        const auto it = std::find_if(texts.begin(), texts.end(), [&](const ShownText& t) {
            return t.text == QString::fromUtf8(c.text) &&
                   t.control->geometry().top() == box.top() &&
                   t.control->geometry().intersects(box);
        });
        ASSERT_NE(it, texts.end()) << c.text;
        if (c.kind == ControlKind::kTextLeft) {
            EXPECT_EQ(it->line.left(), box.left()) << c.text;
        } else {
            // Give or take the pixel or two it moved away from a neighbour.
            EXPECT_LE(std::abs(it->line.center().x() - box.center().x()), 2) << c.text;
        }
    }
}

TEST(RoomForText, GrowsIntoFreeSpaceOnlyAndKeepsTheTextInPlace) {
    const QRect box(100, 10, 20, 13);
    // Wide enough: unchanged.
    EXPECT_EQ(RoomForText(box, 20, true, {}, 400), box);
    // Centred, an odd pixel more on the right: the text's left stays at 100 - 2.
    EXPECT_EQ(RoomForText(box, 25, true, {}, 400), QRect(98, 10, 25, 13));
    // Left-aligned: to the right only.
    EXPECT_EQ(RoomForText(box, 25, false, {}, 400), QRect(100, 10, 25, 13));
    // A neighbour on the left moves it right; one in other rows does not count.
    EXPECT_EQ(RoomForText(box, 26, true, {QRect(90, 12, 10, 5), QRect(0, 40, 300, 5)}, 400),
              QRect(100, 10, 26, 13));
    // Neighbours on both sides: no wider than the space between them.
    EXPECT_EQ(RoomForText(box, 40, true, {QRect(90, 10, 8, 8), QRect(125, 10, 8, 8)}, 400),
              QRect(98, 10, 27, 13));
    // The window's edge bounds it.
    EXPECT_EQ(RoomForText(QRect(385, 0, 10, 8), 20, true, {}, 400), QRect(380, 0, 20, 8));
    // Crowded already: left as laid out.
    EXPECT_EQ(RoomForText(box, 30, true, {QRect(95, 10, 10, 8), QRect(115, 10, 10, 8)}, 400), box);
}

}  // namespace
}  // namespace korvel::testing
