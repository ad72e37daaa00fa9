// The Tools entries for the charts in the real window, and Save View's PNG.
#include <QComboBox>
#include <QFileDialog>
#include <QSet>
#include <QTemporaryDir>
#include <cmath>

#include "draw_context.h"
#include "tools_fixture.h"
#include "tools_menu.h"

namespace korvel::testing {
namespace {

TEST_F(ToolsTest, ContextMenuOpensByRightClickAndByShiftF10) {
    Open();
    const QStringList expected = {"&Tools",
                                  "-",
                                  "&About KORVEL...",
                                  QString::fromUtf8("&Export Data\u2026"),
                                  "-",
                                  "&Hold Traces",
                                  "&Clear Held Traces",
                                  "Show &Resonance and Bandwidth"};
    for (const bool rightClick : {true, false}) {
        ChooseTool(Qt::Key_Escape, rightClick);
        EXPECT_EQ(menuTexts.mid(0, expected.size()), expected) << rightClick;
    }
    EXPECT_FALSE(dialog->Tools().ClearHeldTraces()->isEnabled());  // nothing held yet
    EXPECT_FALSE(dialog->Tools().ShowResonance()->isChecked());    // off at start
}

TEST_F(ToolsTest, HeldTracesLieDimmedUnderTheLiveCurveUntilTheirRangeChanges) {
    Open();
    for (auto& v : state.vswr2Points)
        v = 3.0;
    ChooseTool(Qt::Key_H);
    for (auto& v : state.vswr2Points)
        v = 1.5;  // the live curve moves on
    CDisLine& chart = dialog->m_chartVswr2;
    const QImage image = Grab(chart);
    const auto count = [&](ColorRef color) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            n += (image.pixel(chart.width() / 2, y) & 0xFFFFFF) ==
                 (ToQColor(color).rgb() & 0xFFFFFF);
        }
        return n;
    };
    EXPECT_GE(count(DimmedColor(chart.m_curveColor[0], chart.m_backColor)), 1);
    EXPECT_GE(count(chart.m_curveColor[0]), 1);
    ASSERT_TRUE(dialog->HeldTraceSet().Samples()[1].has_value());
    EXPECT_EQ(dialog->HeldTraceSet().Samples()[1]->at(7), 3.0);

    dialog->OnSubmitScan();  // same ranges: all kept
    Edit(kIdVswr2Start)->setText("14");
    dialog->OnSubmitScan();  // VSWR2 moves: its trace goes, the rest stay
    EXPECT_TRUE(chart.m_heldSamples.empty());
    EXPECT_EQ(dialog->m_chartS21.m_heldSamples.size(), kSweepPoints);
    ChooseTool(Qt::Key_Escape);
    EXPECT_TRUE(menuTexts.contains("&Clear Held Traces (VSWR2 dropped: range changed)"));

    ChooseTool(Qt::Key_C);
    EXPECT_FALSE(dialog->HeldTraceSet().Any());
    EXPECT_TRUE(dialog->m_chartS21.m_heldSamples.empty());
    EXPECT_EQ(dialog->HeldTraceSet().ClearEntryText(), QString("&Clear Held Traces"));
}

TEST_F(ToolsTest, ResonanceMarksStandAtTheTwoToOneCrossings) {
    Open();
    // A V around point 100 that is 2.0 exactly at points 80 and 120.
    for (std::size_t k = 0; k < kSweepPoints; ++k) {
        state.vswr1Points[k] = 1.0 + std::abs(static_cast<double>(k) - 100.0) * 0.05;
    }
    CDisLine& chart = dialog->m_chartVswr1;
    const QImage plain = Grab(chart);
    TextRecorder texts;
    ChooseTool(Qt::Key_R);
    const QImage marked = Grab(chart);
    // VSWR1 runs from 6.1 MHz in 9 kHz steps.
    EXPECT_NE(texts.Find(QString::fromUtf8("2:1  6.820\u20137.180 MHz  (360 kHz)")), nullptr);
    const double xScale = (chart.width() - 90) / 200.0;
    QSet<int> columns;
    for (int y = 41; y < chart.height() - 20; ++y) {
        for (int x = 20; x < chart.width() - 70; ++x) {
            if (marked.pixel(x, y) != plain.pixel(x, y))
                columns.insert(x);
        }
    }
    EXPECT_EQ(columns, (QSet<int>{int(20 + 80 * xScale), int(20 + 120 * xScale)}));
    ChooseTool(Qt::Key_R);  // off again: as before
    EXPECT_EQ(Grab(chart), plain);
}

TEST_F(ToolsTest, SaveViewAsPngHoldsTheGrabbedPicture) {
    Open();
    QTemporaryDir dir;
    AnswerNextModal([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(files, nullptr);
        QTest::keyClick(files->findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);  // PNG
        files->selectFile(dir.filePath("view"));
        static_cast<QDialog*>(files)->accept();
    });
    const QImage expected = Grab(*dialog);
    dialog->OnSaveView();
    EXPECT_EQ(QImage(dir.filePath("view.png")).convertToFormat(QImage::Format_RGB32), expected);
}

}  // namespace
}  // namespace korvel::testing
