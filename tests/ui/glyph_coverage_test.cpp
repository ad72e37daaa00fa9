// Every character the program shows has a glyph in the fonts the window
// resolves for it (the face asked for or one of its fallbacks): the window's
// captions and labels, its message boxes, the charts', meter's and Smith
// panel's texts, Γ, ∞ and the full-width "！" included.
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QTextLayout>
#include <vector>

#include "calibration.h"
#include "dialog_fixture.h"
#include "draw_context.h"
#include "smith_panel.h"
#include "stop_bound_clocks.h"
#include "worker_window_bridge.h"

namespace korvel::testing {
namespace {

// How many characters of `text` the font and its fallbacks draw as the
// missing-glyph box (glyph 0).
int Missing(const QFont& font, const QString& text) {
    int missing = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(line, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun& run : layout.glyphRuns()) {
            for (const quint32 glyph : run.glyphIndexes()) {
                missing += glyph == 0 ? 1 : 0;
            }
        }
    }
    return missing;
}

void ExpectGlyphs(const QFont& font, const QString& text) {
    EXPECT_EQ(Missing(font, text), 0)
        << "in \"" << text.toStdString() << "\" (" << font.family().toStdString() << ")";
}

// The texts of a window's labels, buttons and edits, each in its own font.
int ExpectWidgetGlyphs(QWidget& window) {
    ExpectGlyphs(window.font(), window.windowTitle());
    int count = 0;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            text = label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            text = edit->text();
        }
        if (!text.isEmpty()) {
            ExpectGlyphs(w->font(), text);
            ++count;
        }
    }
    return count;
}

TEST(GlyphCoverage, TheMissingGlyphIsTold) {
    // The check itself: a private-use character has no glyph in any face.
    const QFont font(QStringLiteral("Liberation Sans"));
    EXPECT_EQ(Missing(font, QStringLiteral("a\uE000b\uE001")), 2);
    EXPECT_EQ(Missing(font, QStringLiteral("VSWR")), 0);
}

using GlyphCoverageTest = DialogTest;

TEST_F(GlyphCoverageTest, WindowChartMeterAndSmithTexts) {
    state.s21Points[3].store(-20.0);
    state.vswr1Points[3].store(1.5);
    Open();
    EXPECT_GE(ExpectWidgetGlyphs(*dialog), 30);
    // Everything the charts and the meter draw, in the fonts they draw it in.
    TextRecorder texts;
    for (QWidget* w : std::initializer_list<QWidget*>{&dialog->m_chartVswr1, &dialog->m_chartVswr2,
                                                      &dialog->m_chartVswr3, &dialog->m_chartS21,
                                                      &dialog->m_meter}) {
        QImage image(w->size(), QImage::Format_RGB32);
        w->render(&image);
    }
    // The Smith panel with its infinite impedance and the calibration notice.
    SmithPanelValues values;
    values.zMag = 1.0e6;
    values.r = 1.0e6;
    values.gammaMag = 1.0;
    values.vswr = 1.0e6;
    values.gammaShown = 1.0;
    values.zoCalibrating = true;
    QImage panel(dialog->size(), QImage::Format_RGB32);
    QPainter painter(&panel);
    PaintSmithPanel(painter, values, 7000, 1.0);
    painter.end();
    bool gamma = false;
    bool infinity = false;
    for (const TextDraw& draw : texts.Draws()) {
        ExpectGlyphs(draw.font, draw.text);
        gamma |= draw.text.contains(QChar(0x0393));
        infinity |= draw.text.contains(QChar(0x221E));
    }
    EXPECT_TRUE(gamma);
    EXPECT_TRUE(infinity);
    EXPECT_GE(texts.Draws().size(), 40u);
}

TEST(GlyphCoverageOfMessages, LinkErrorBoxShowsEveryCharacter) {
    MeasurementState state;
    ScriptedInstrument transport;
    transport.answer = false;
    QuickClock clock;
    DialogOptions options;
    options.startRefreshTimer = false;
    CKORVELDlg dialog(state, transport, clock, std::move(options));
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return dialog.Bridge().OpenMessage() != nullptr; }));
    QMessageBox* box = dialog.Bridge().OpenMessage();
    ASSERT_TRUE(box->text().contains(QChar(0xFF01)));
    EXPECT_GE(ExpectWidgetGlyphs(*box), 2);  // the text and the OK button
    // The worker's other messages, in the font its text has in that box.
    QLabel* label = nullptr;
    for (QLabel* l : box->findChildren<QLabel*>()) {
        if (l->text() == box->text()) {
            label = l;
        }
    }
    ASSERT_NE(label, nullptr);
    for (const char* prompt : {kPinPrompt0dBm, kPinPromptMinus20dBm, kPinFinished, kZoPromptCable,
                               kZoPromptDummyLoad, kZoPromptOpenPort}) {
        ExpectGlyphs(label->font(), QString::fromUtf8(prompt));
    }
    dialog.StopWorker();
}

}  // namespace
}  // namespace korvel::testing
