// Remember Settings: off by default and then silent; on, the window's
// settings come back at the next start, each refused value on its own; off
// again, the file is gone. Each test keeps its file in its own folder.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "dialog_fixture.h"
#include "dialog_template.h"
#include "menu_walk.h"
#include "tools_menu.h"

namespace korvel::testing {
namespace {

class RememberSettingsTest : public DialogTest {
  protected:
    // Windows of later suites find no file in the deleted folder: off.
    void SetUp() override {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    }
    bool FolderEmpty() const {
        return QDir(folder.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    void ChooseRemember() {
        EXPECT_TRUE(ChooseFromContextMenu(*dialog, QPoint(5, 700), {"Tools", "Remember Settings"})
                        .finished);
    }
    void CloseAndReopen() {
        dialog->close();
        dialog.reset();
        Open();
    }
    QCheckBox* Box(int id) { return static_cast<QCheckBox*>(dialog->Control(id)); }
    bool Remembering() { return dialog->RememberAction()->isChecked(); }

    QTemporaryDir folder;
};

TEST_F(RememberSettingsTest, OffByDefaultNothingIsWrittenNorRestored) {
    Open();
    EXPECT_FALSE(Remembering());
    Edit(kIdVswr1Start)->setText("3.5");
    dialog->m_chartVswr1.m_curveColor[0] = RGB(1, 2, 3);
    CloseAndReopen();
    EXPECT_TRUE(FolderEmpty());
    EXPECT_EQ(Edit(kIdVswr1Start)->text(), QString("6.1"));
    EXPECT_EQ(dialog->m_chartVswr1.m_curveColor[0], RGB(255, 255, 0));
}

TEST_F(RememberSettingsTest, OnTheNextWindowStartsWithWhatTheLastOneLeftAndOffDeletesIt) {
    Open();
    ChooseRemember();
    Edit(kIdSmithFreq)->setText("7050");
    Edit(kIdVswr1Start)->setText("3.475");
    Edit(kIdVswr3Stop)->setText("22.5");
    Edit(kIdCableLength)->setText("12.5");
    Box(kIdEnableVswr2)->setChecked(false);
    dialog->m_chartS21.m_curveColor[0] = RGB(1, 2, 3);
    for (CDisLine* chart : {&dialog->m_chartVswr1, &dialog->m_chartS21}) {
        chart->m_backColor = RGB(10, 20, 30);
        chart->m_gridColor = RGB(200, 210, 220);
    }
    // Held on the ranges swept now: range 1's comes back only if it still is.
    for (std::size_t i = 0; i < kSweepPoints; ++i) {
        state.vswr1Points[i].store(1.5);
        state.vswr2Points[i].store(1.0 + 0.1234567890123 * static_cast<double>(i));
    }
    dialog->Tools().HoldTraces()->trigger();
    dialog->Tools().ShowResonance()->setChecked(true);
    const auto held = dialog->HeldTraceSet().Samples();
    CloseAndReopen();
    EXPECT_FALSE(dialog->HeldTraceSet().Samples()[0]);  // 6.1 MHz then, 3.475 MHz now
    EXPECT_EQ(dialog->HeldTraceSet().Samples()[1], held[1]);
    EXPECT_EQ(dialog->m_chartVswr2.m_heldSamples, *held[1]);
    EXPECT_TRUE(dialog->Tools().ShowResonance()->isChecked());
    EXPECT_TRUE(Remembering());
    EXPECT_EQ(Edit(kIdSmithFreq)->text(), QString("7050"));
    EXPECT_EQ(Edit(kIdVswr1Start)->text(), QString("3.475"));
    EXPECT_FALSE(Box(kIdEnableVswr2)->isChecked());
    // The window's own values from the start, before anything is submitted.
    EXPECT_EQ(dialog->m_sweep.m_enableVswr2.load(), 0);
    EXPECT_DOUBLE_EQ(dialog->m_sweep.m_cableLengthM.load(), 12.5);
    EXPECT_EQ(dialog->m_chartVswr1.m_startFreqHz, 3475000u);
    EXPECT_EQ(dialog->m_chartS21.m_stepHz, 12000u);  // range 3: 20.1-22.5 MHz
    EXPECT_EQ(dialog->m_chartS21.m_curveColor[0], RGB(1, 2, 3));
    EXPECT_EQ(dialog->m_chartVswr3.m_backColor, RGB(10, 20, 30));
    EXPECT_EQ(dialog->m_chartVswr2.m_gridColor, RGB(200, 210, 220));

    ChooseRemember();
    EXPECT_FALSE(Remembering());
    EXPECT_TRUE(FolderEmpty());
    CloseAndReopen();
    EXPECT_TRUE(FolderEmpty());
    EXPECT_EQ(Edit(kIdVswr1Start)->text(), QString("6.1"));
}

TEST_F(RememberSettingsTest, EachRefusedValueStaysAtItsDefaultAloneWithoutAMessage) {
    QDir().mkpath(folder.filePath("KORVEL"));
    QFile file(folder.filePath("KORVEL/korvel.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "[General]\nRememberSettings=true\n"
        "[Edits]\nSmithFrequencyKHz=1, 2\nRange1StartMHz=0.5\nRange1StopMHz=abc\n"
        "Range2StartMHz=13.5\nRange2StopMHz=nan\nRange3StopMHz=25\nCableLengthM=1e400\n"
        "[Enables]\nVSWR1=maybe\nVSWR2=false\n"
        "[Colours]\nVSWR1=green\nVSWR2=#ff0000\nVSWR3=#12345g\nS21=#1234567\n"
        "Background=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x6QColor)\nCoordinate=#0a0B0c\n"
        "[HeldTraces]\nVSWR1=6100000 9000 1.5 nan\nVSWR3=1 2\n");
    file.close();
    ModalAnswer boxes;
    Open();
    EXPECT_EQ(boxes.boxes, 0);
    QStringList texts;
    for (int id : {kIdSmithFreq, kIdVswr1Start, kIdVswr1Stop, kIdVswr2Start, kIdVswr2Stop,
                   kIdVswr3Stop, kIdCableLength}) {
        texts << Edit(id)->text();
    }
    EXPECT_EQ(texts, QStringList({"14270", "6.1", "7.9", "13.5", "14.9", "25", "0"}));
    EXPECT_TRUE(Box(kIdEnableVswr1)->isChecked());
    EXPECT_FALSE(Box(kIdEnableVswr2)->isChecked());
    EXPECT_EQ(dialog->m_chartVswr1.m_curveColor[0], RGB(255, 255, 0));
    EXPECT_EQ(dialog->m_chartVswr2.m_curveColor[0], RGB(255, 0, 0));
    EXPECT_EQ(dialog->m_chartVswr3.m_curveColor[0], RGB(255, 255, 0));
    EXPECT_EQ(dialog->m_chartS21.m_curveColor[0], RGB(255, 255, 0));
    EXPECT_EQ(dialog->m_chartS21.m_backColor, RGB(0, 50, 0));
    EXPECT_EQ(dialog->m_chartS21.m_gridColor, RGB(10, 11, 12));
    EXPECT_FALSE(dialog->HeldTraceSet().Any());
}

TEST_F(RememberSettingsTest, AnUnwritablePlaceIsReportedAndTheEntryStaysOff) {
    // A plain file where the folder should be: not even root can write there.
    QFile blocker(folder.filePath("KORVEL"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Open();
    SeenBox box;
    PressOnNextBox(box, QMessageBox::Ok);
    ChooseRemember();
    ASSERT_TRUE(WaitUntil([&] { return box.seen; }));
    EXPECT_TRUE(box.text.startsWith("The settings could not be written")) << box.text.toStdString();
    EXPECT_FALSE(Remembering());
}

}  // namespace
}  // namespace korvel::testing
