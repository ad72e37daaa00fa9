// Every text of the main window shows whole, clear of the other controls.
#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QStyleOption>

#include "dialog_fixture.h"
#include "dialog_template.h"
#include "label_room.h"

namespace korvel::testing {
namespace {

// The pixels a label's or button's text covers in the window, found by drawing
// it as the control places it (check boxes: past their box).
QRect InkOf(QWidget* w, const QString& text) {
    QStyleOptionButton option;
    option.initFrom(w);
    QRect area = w->rect();
    int align = Qt::AlignCenter;
    if (auto* label = qobject_cast<QLabel*>(w)) {
        area = label->contentsRect();
        align = label->alignment();
    } else if (qobject_cast<QCheckBox*>(w)) {
        area = w->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, w);
        align = Qt::AlignLeft | Qt::AlignVCenter;
    }
    QImage image(w->parentWidget()->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(w->font());
    painter.drawText(area.translated(w->pos()), align | Qt::TextDontClip, text);
    QRect ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = w->x() - 100; x < w->x() + w->width() + 100; ++x) {
            ink |=
                image.valid(x, y) && image.pixel(x, y) != 0xFFFFFFFF ? QRect(x, y, 1, 1) : QRect();
        }
    }
    return ink;
}

TEST_F(DialogTest, EveryTextShowsWholeAndClearOfTheOtherControls) {
    Open();
    int shown = 0;
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        const bool box = qobject_cast<QCheckBox*>(b) != nullptr;
        // A check box's own text lies wholly past it: another label names it.
        const QRect ink = InkOf(b, b->text());
        EXPECT_TRUE(box ? !ink.intersects(b->geometry()) : b->geometry().contains(ink))
            << b->text().toStdString();
        shown += box ? 0 : 1;
    }
    for (QLabel* l : dialog->findChildren<QLabel*>()) {
        if (l->text().isEmpty()) {
            continue;
        }
        const QRect ink = InkOf(l, l->text());
        EXPECT_TRUE(l->geometry().contains(ink)) << l->text().toStdString();
        for (QWidget* other : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const auto* label = qobject_cast<QLabel*>(other);
            const QRect body = label != nullptr && !label->text().isEmpty()
                                   ? InkOf(other, label->text())
                                   : other->geometry();
            EXPECT_TRUE(other == l || other == &dialog->m_led || other->inherits("QCheckBox") ||
                        !body.intersects(ink))
                << l->text().toStdString() << " runs into " << other->property("controlId").toInt();
        }
        ++shown;
    }
    EXPECT_EQ(
        shown,
        static_cast<int>(std::count_if(
            MainDialogControls().begin(), MainDialogControls().end(),
            [](const ControlTemplate& c) { return c.kind != ControlKind::kCheckBox && *c.text; })));
}

TEST(RoomForText, GrowsIntoFreeSpaceOnlyAndKeepsTheTextInPlace) {
    const QRect box(100, 10, 20, 13);
    EXPECT_EQ(RoomForText(box, 20, true, {}, 400), box);
    // Centred, the odd pixel on the right; left-aligned, to the right only.
    EXPECT_EQ(RoomForText(box, 25, true, {}, 400), QRect(98, 10, 25, 13));
    EXPECT_EQ(RoomForText(box, 25, false, {}, 400), QRect(100, 10, 25, 13));
    // Away from a neighbour in its rows, never past the window's edge.
    EXPECT_EQ(RoomForText(box, 26, true, {QRect(90, 12, 10, 5), QRect(0, 40, 300, 5)}, 400),
              QRect(100, 10, 26, 13));
    EXPECT_EQ(RoomForText(QRect(385, 0, 10, 8), 20, true, {}, 400), QRect(380, 0, 20, 8));
    // No wider than the space between neighbours; crowded already, as laid out.
    EXPECT_EQ(RoomForText(box, 40, true, {QRect(90, 10, 8, 8), QRect(125, 10, 8, 8)}, 400),
              QRect(98, 10, 27, 13));
    EXPECT_EQ(RoomForText(box, 30, true, {QRect(95, 10, 10, 8), QRect(115, 10, 10, 8)}, 400), box);
}

}  // namespace
}  // namespace korvel::testing
