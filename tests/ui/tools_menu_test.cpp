// The context menu's Tools entries in the real window: opened by a right
// click and by Shift+F10, held traces, the resonance marks and Save View's PNG.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>

#include "chart_overlay.h"
#include "draw_context.h"
#include "tools_fixture.h"
#include "tools_menu.h"

namespace korvel::testing {

TEST_F(ToolsTest, ContextMenuOpensByRightClickAndByShiftF10) {
    Open();
    const QStringList tools = {QString::fromUtf8("&Export Data\u2026"), "-", "&Hold Traces",
                               "&Clear Held Traces", "Show &Resonance and Bandwidth"};
    for (const bool keyboard : {false, true}) {
        toolsEntries.clear();
        ChooseTool(Qt::Key_Escape, keyboard);
        EXPECT_EQ(rootEntries, (QStringList{"&Tools", "-", "&About KORVEL..."})) << keyboard;
        EXPECT_EQ(toolsEntries.mid(0, tools.size()), tools) << keyboard;
    }
    ToolsMenu& menu = dialog->Tools();
    EXPECT_FALSE(menu.ClearHeldTraces()->isEnabled());  // nothing held yet
    EXPECT_TRUE(menu.ShowResonance()->isCheckable());
    EXPECT_FALSE(menu.ShowResonance()->isChecked());  // off by default
}

TEST_F(ToolsTest, HeldTracesAreDimmedUnderTheLiveCurveAndDroppedWithTheirRange) {
    Open();
    for (std::size_t k = 0; k < kSweepPoints; ++k) {
        state.vswr2Points[k] = 3.0;
        state.s21Points[k] = -10.0;
    }
    ChooseTool(Qt::Key_H);
    CDisLine& vswr2 = dialog->m_chartVswr2;
    ASSERT_EQ(vswr2.m_heldSamples.size(), kSweepPoints);
    EXPECT_EQ(vswr2.m_heldSamples[7], 3.0);
    EXPECT_EQ(dialog->m_chartS21.m_heldSamples[7], -10.0);

    // The live curve moves on; the held one stays where it was, dimmed.
    for (std::size_t k = 0; k < kSweepPoints; ++k) {
        state.vswr2Points[k] = 1.5;
    }
    const ColorRef dimmed = DimmedColor(vswr2.m_curveColor[0], vswr2.m_backColor);
    const QImage held = Grab(vswr2);
    const int column = vswr2.width() / 2;
    int dimmedPixels = 0;
    int livePixels = 0;
    for (int y = 0; y < held.height(); ++y) {
        const QRgb pixel = held.pixel(column, y) & 0xFFFFFF;
        dimmedPixels += pixel == (ToQColor(dimmed).rgb() & 0xFFFFFF) ? 1 : 0;
        livePixels += pixel == (ToQColor(vswr2.m_curveColor[0]).rgb() & 0xFFFFFF) ? 1 : 0;
    }
    EXPECT_GE(dimmedPixels, 1);
    EXPECT_GE(livePixels, 1);

    // A new VSWR2 range drops its held trace; the other charts keep theirs.
    Edit(kIdVswr2Start)->setText("14");
    dialog->OnSubmitScan();
    EXPECT_TRUE(vswr2.m_heldSamples.empty());
    EXPECT_EQ(dialog->m_chartVswr1.m_heldSamples.size(), kSweepPoints);
    EXPECT_EQ(dialog->m_chartS21.m_heldSamples.size(), kSweepPoints);
    EXPECT_EQ(dialog->HeldTraceSet().Samples()[1], std::nullopt);
    ChooseTool(Qt::Key_Escape);
    EXPECT_TRUE(toolsEntries.contains("&Clear Held Traces (VSWR2 dropped: range changed)"))
        << toolsEntries.join('|').toStdString();
    EXPECT_TRUE(dialog->Tools().ClearHeldTraces()->isEnabled());

    // Clearing removes the rest and the note.
    ChooseTool(Qt::Key_C);
    for (CDisLine* chart : {&dialog->m_chartVswr1, &dialog->m_chartVswr3, &dialog->m_chartS21}) {
        EXPECT_TRUE(chart->m_heldSamples.empty());
    }
    EXPECT_FALSE(dialog->HeldTraceSet().Any());
    EXPECT_EQ(dialog->HeldTraceSet().ClearEntryText(), QString("&Clear Held Traces"));
}

TEST_F(ToolsTest, UnchangedRangesKeepTheirHeldTraces) {
    Open();
    ChooseTool(Qt::Key_H);
    dialog->OnSubmitScan();  // same edits: every plan stays
    for (CDisLine* chart : {&dialog->m_chartVswr1, &dialog->m_chartVswr2, &dialog->m_chartVswr3,
                            &dialog->m_chartS21}) {
        EXPECT_EQ(chart->m_heldSamples.size(), kSweepPoints);
    }
    EXPECT_EQ(dialog->HeldTraceSet().ClearEntryText(), QString("&Clear Held Traces"));
}

TEST_F(ToolsTest, ResonanceMarksStandAtTheTwoToOneCrossings) {
    Open();
    // A V around point 100 that reaches 2.0 exactly at points 80 and 120.
    for (std::size_t k = 0; k < kSweepPoints; ++k) {
        state.vswr1Points[k] = 1.0 + std::abs(static_cast<double>(k) - 100.0) * 0.05;
    }
    CDisLine& chart = dialog->m_chartVswr1;
    const QImage plain = Grab(chart);

    TextRecorder texts;
    ChooseTool(Qt::Key_R);
    EXPECT_TRUE(dialog->Tools().ShowResonance()->isChecked());
    const QImage marked = Grab(chart);
    // VSWR1's plan: 6.1 MHz, 9 kHz steps: 6.820 and 7.180 MHz, 360 kHz apart.
    EXPECT_NE(texts.Find(QString::fromUtf8("2:1  6.820\u20137.180 MHz  (360 kHz)")), nullptr);

    const double xScale = (chart.width() - 90) / 200.0;
    const int lowX = static_cast<int>(20 + 80 * xScale);
    const int highX = static_cast<int>(20 + 120 * xScale);
    const int bottom = chart.height() - 20;
    QSet<int> columns;
    for (int y = 41; y < bottom; ++y) {
        for (int x = 20; x < chart.width() - 70; ++x) {
            if (marked.pixel(x, y) != plain.pixel(x, y)) {
                columns.insert(x);
            }
        }
    }
    EXPECT_EQ(columns, (QSet<int>{lowX, highX}));

    ChooseTool(Qt::Key_R);  // unchecked: the chart is as before
    EXPECT_FALSE(dialog->Tools().ShowResonance()->isChecked());
    EXPECT_EQ(Grab(chart), plain);
}

TEST_F(ToolsTest, SaveViewAsPngHoldsTheGrabbedPicture) {
    Open();
    QTemporaryDir dir;
    QStringList filters;
    AnswerNextModal([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(files, nullptr);
        filters = files->nameFilters();
        // As a user picks it: the combo box's activation.
        auto* types = files->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        QTest::keyClick(types, Qt::Key_Down);
        EXPECT_EQ(files->defaultSuffix(), QString("png"));
        files->selectFile(dir.filePath("view"));
        static_cast<QDialog*>(files)->accept();
    });
    const QImage expected = dialog->grab().toImage().convertToFormat(QImage::Format_RGB32);
    dialog->OnSaveView();
    EXPECT_EQ(filters, (QStringList{"Bit Image(*.BMP)", "PNG (*.png)"}));
    QImage saved(dir.filePath("view.png"));
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), expected);
}

TEST_F(ToolsTest, PngThatCannotBeWrittenSaysSoAndLeavesNoFile) {
    Open();
    QTemporaryDir dir;
    const QString path = dir.filePath("missing/dir/view.png");
    SeenBox warning;
    AnswerNextModal([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(files, nullptr);
        files->selectFile(path);
        PressOnNextBox(warning, QMessageBox::Ok);
        static_cast<QDialog*>(files)->accept();
    });
    dialog->OnSaveView();
    EXPECT_TRUE(warning.seen);
    EXPECT_FALSE(QFile::exists(path));
}

}  // namespace korvel::testing
