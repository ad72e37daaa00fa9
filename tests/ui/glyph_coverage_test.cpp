// Every character the program shows has a glyph in the fonts the window
// resolves for it (the face asked for or a fallback): Γ, ∞ and "！" included.
#include <QLabel>
#include <QMessageBox>
#include <QTextLayout>

#include "core/calibration.h"
#include "dialog_fixture.h"
#include "draw_context.h"
#include "smith_panel.h"
#include "text_recorder.h"
#include "worker_window_bridge.h"

namespace korvel::testing {
namespace {

// Characters of `text` drawn as the missing-glyph box (glyph 0).
int Missing(const QFont& font, const QString& text) {
    QTextLayout layout(QString(text).replace(QLatin1Char('\n'), QChar::LineSeparator), font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    int missing = 0;
    for (const QGlyphRun& run : layout.glyphRuns()) {
        missing += static_cast<int>(run.glyphIndexes().count(0));
    }
    return missing;
}

// The window's caption and every label's and button's text, in its font.
void ExpectWindowGlyphs(QWidget& window) {
    EXPECT_EQ(Missing(window.font(), window.windowTitle()), 0);
    for (QWidget* w : window.findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(w);
        const auto* button = qobject_cast<QAbstractButton*>(w);
        const QString text = label ? label->text() : button ? button->text() : QString();
        EXPECT_EQ(Missing(w->font(), text), 0) << text.toStdString();
    }
}

TEST_F(DialogTest, WindowChartMeterSmithAndMessageTextsHaveGlyphs) {
    EXPECT_EQ(Missing(QFont("Liberation Sans"), QStringLiteral("a\uE000b\uE001")), 2);
    Open();
    ExpectWindowGlyphs(*dialog);
    TextRecorder texts;
    for (QWidget* w : {(QWidget*)&dialog->m_chartVswr1, (QWidget*)&dialog->m_chartS21,
                       (QWidget*)&dialog->m_meter}) {
        QImage image(w->size(), QImage::Format_RGB32);
        w->render(&image);
    }
    QImage panel(dialog->size(), QImage::Format_RGB32);
    QPainter painter(&panel);
    PaintSmithPanel(painter, SmithPanelValues{1.0, 0.0, 1e6, 0.0, 1e6, 1e6, 1.0, true}, 7000, 1.0);
    QString all;
    for (const TextDraw& draw : texts.Draws()) {
        EXPECT_EQ(Missing(draw.font, draw.text), 0) << draw.text.toStdString();
        all += draw.text;
    }
    EXPECT_TRUE(all.contains(QChar(0x0393)) && all.contains(QChar(0x221E)));  // Γ, ∞

    // The worker's link-error box, and its other messages in that box's font.
    dialog.reset();
    transport.answer = false;
    QuickClock quick;
    DialogOptions options;
    options.startRefreshTimer = false;
    CKORVELDlg window(state, transport, quick, std::move(options));
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return window.Bridge().OpenMessage() != nullptr; }));
    QMessageBox* box = window.Bridge().OpenMessage();
    ASSERT_TRUE(box->text().contains(QChar(0xFF01)));
    ExpectWindowGlyphs(*box);
    const QLabel* label = box->findChild<QLabel*>("qt_msgbox_label");
    ASSERT_NE(label, nullptr);
    for (const char* text : {kPinPrompt0dBm, kPinPromptMinus20dBm, kPinFinished, kZoPromptCable,
                             kZoPromptDummyLoad, kZoPromptOpenPort}) {
        EXPECT_EQ(Missing(label->font(), text), 0) << text;
    }
    window.StopWorker();
}

}  // namespace
}  // namespace korvel::testing
