// Remember Settings: off by default and then silent; on, the window's
// settings come back at the next start, each refused value on its own; off
// again, the file is gone. Every test keeps its file in its own folder.
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "dialog_fixture.h"
#include "dialog_template.h"
#include "menu_walk.h"
#include "remembered_settings.h"

namespace korvel::testing {
namespace {

class RememberSettingsTest : public DialogTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    }
    // Later suites find no file in the deleted folder: the entry is off.

    QString FilePath() const { return folder.filePath("KORVEL/korvel.ini"); }
    QStringList FilesInFolder() const {
        QStringList found;
        QDirIterator it(folder.path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            found << it.next();
        }
        return found;
    }
    void WriteFile(const QByteArray& text) {
        ASSERT_TRUE(QDir().mkpath(folder.filePath("KORVEL")));
        QFile file(FilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray ReadFile() const {
        QFile file(FilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Chooses "Remember Settings" in the window's context menu.
    void ChooseRemember() {
        MenuWalk walk;
        WalkNextMenu(walk, {"Remember Settings"});
        const QPoint background(5, 700);
        QContextMenuEvent event(QContextMenuEvent::Mouse, background,
                                dialog->mapToGlobal(background));
        QCoreApplication::sendEvent(dialog.get(), &event);
        ASSERT_TRUE(WaitUntil([&] { return walk.finished || walk.failed; }));
        ASSERT_FALSE(walk.failed) << walk.seen.join(", ").toStdString();
    }
    void CloseAndReopen() {
        dialog->close();
        dialog.reset();
        Open();
    }
    QCheckBox* Box(int id) { return static_cast<QCheckBox*>(dialog->Control(id)); }

    QTemporaryDir folder;
};

TEST_F(RememberSettingsTest, OffByDefaultTheWindowReadsAndWritesNoFile) {
    Open();
    ASSERT_NE(dialog->RememberAction(), nullptr);
    EXPECT_TRUE(dialog->RememberAction()->isCheckable());
    EXPECT_FALSE(dialog->RememberAction()->isChecked());
    Edit(kIdVswr1Start)->setText("3.5");
    Box(kIdEnableVswr2)->setChecked(false);
    dialog->m_chartVswr1.m_curveColor[0] = RGB(1, 2, 3);
    CloseAndReopen();
    EXPECT_TRUE(FilesInFolder().isEmpty()) << FilesInFolder().join(", ").toStdString();
    EXPECT_EQ(Edit(kIdVswr1Start)->text(), QString("6.1"));
    EXPECT_TRUE(Box(kIdEnableVswr2)->isChecked());
    EXPECT_EQ(dialog->m_chartVswr1.m_curveColor[0], RGB(255, 255, 0));
    EXPECT_FALSE(dialog->RememberAction()->isChecked());
}

TEST_F(RememberSettingsTest, OnTheNextWindowStartsWithTheEditsEnablesAndColoursLeftOpen) {
    Open();
    ChooseRemember();
    EXPECT_TRUE(dialog->RememberAction()->isChecked());
    Edit(kIdSmithFreq)->setText("7050");
    Edit(kIdVswr1Start)->setText("3.475");
    Edit(kIdVswr1Stop)->setText("4.025");
    Edit(kIdVswr3Stop)->setText("22.5");
    Edit(kIdCableLength)->setText("12.5");
    Box(kIdEnableVswr2)->setChecked(false);
    const ColorRef colours[] = {RGB(1, 2, 3), RGB(40, 50, 60), RGB(255, 0, 128), RGB(9, 9, 9)};
    const auto charts = {&dialog->m_chartVswr1, &dialog->m_chartVswr2, &dialog->m_chartVswr3,
                         &dialog->m_chartS21};
    int i = 0;
    for (CDisLine* chart : charts) {
        chart->m_curveColor[0] = colours[i++];
        chart->m_backColor = RGB(10, 20, 30);
        chart->m_gridColor = RGB(200, 210, 220);
    }
    dialog->close();
    const QByteArray written = ReadFile();
    EXPECT_TRUE(written.contains("\nVSWR1=#010203\n"));
    EXPECT_TRUE(written.contains("\nRange1StartMHz=3.475\n"));
    CloseAndReopen();

    EXPECT_TRUE(dialog->RememberAction()->isChecked());
    EXPECT_EQ(Edit(kIdSmithFreq)->text(), QString("7050"));
    EXPECT_EQ(Edit(kIdVswr1Start)->text(), QString("3.475"));
    EXPECT_EQ(Edit(kIdVswr1Stop)->text(), QString("4.025"));
    EXPECT_EQ(Edit(kIdVswr2Start)->text(), QString("13.1"));
    EXPECT_EQ(Edit(kIdVswr3Stop)->text(), QString("22.5"));
    EXPECT_EQ(Edit(kIdCableLength)->text(), QString("12.5"));
    // The values are the window's own from the start: the worker and the
    // charts use them before anything is submitted.
    EXPECT_EQ(dialog->m_smithFreqKHz.load(), 7050u);
    EXPECT_FLOAT_EQ(dialog->m_vswr1StartMHz.load(), 3.475f);
    EXPECT_FLOAT_EQ(dialog->m_vswr3StopMHz.load(), 22.5f);
    EXPECT_DOUBLE_EQ(dialog->m_cableLengthM.load(), 12.5);
    EXPECT_EQ(dialog->m_chartVswr1.m_startFreqHz, 3475000u);
    EXPECT_EQ(dialog->m_chartVswr1.m_stepHz, 2750u);  // 0.55 MHz over 200 steps
    EXPECT_EQ(dialog->m_chartS21.m_stepHz, 12000u);   // follows range 3: 2.4 MHz
    EXPECT_TRUE(Box(kIdEnableVswr1)->isChecked());
    EXPECT_FALSE(Box(kIdEnableVswr2)->isChecked());
    EXPECT_EQ(dialog->m_enableVswr2.load(), 0);
    i = 0;
    for (CDisLine* chart : {&dialog->m_chartVswr1, &dialog->m_chartVswr2, &dialog->m_chartVswr3,
                            &dialog->m_chartS21}) {
        EXPECT_EQ(chart->m_curveColor[0], colours[i++]);
        EXPECT_EQ(chart->m_backColor, RGB(10, 20, 30));
        EXPECT_EQ(chart->m_gridColor, RGB(200, 210, 220));
    }
}

TEST_F(RememberSettingsTest, ARefusedValueIsLeftAtItsDefaultOnItsOwnWithoutAMessage) {
    WriteFile(
        "[General]\n"
        "RememberSettings=true\n"
        "[Edits]\n"
        "SmithFrequencyKHz=1, 2\n"  // a list, not a text
        "Range1StartMHz=0.5\n"      // outside 1..60
        "Range1StopMHz=abc\n"
        "Range2StartMHz=13.5\n"
        "Range2StopMHz=nan\n"
        "Range3StartMHz=\n"
        "Range3StopMHz=25\n"
        "CableLengthM=1e400\n"
        "[Enables]\n"
        "VSWR1=maybe\n"
        "VSWR2=false\n"
        "[Colours]\n"
        "VSWR1=green\n"
        "VSWR2=#ff0000\n"
        "VSWR3=#12345g\n"
        "S21=#1234567\n"
        "Background=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x6QColor)\n"
        "Coordinate=#0a0B0c\n");
    ModalAnswer boxes;
    Open();
    EXPECT_EQ(boxes.boxes, 0);
    EXPECT_TRUE(dialog->RememberAction()->isChecked());
    EXPECT_EQ(Edit(kIdSmithFreq)->text(), QString("14270"));
    EXPECT_EQ(Edit(kIdVswr1Start)->text(), QString("6.1"));
    EXPECT_EQ(Edit(kIdVswr1Stop)->text(), QString("7.9"));
    EXPECT_EQ(Edit(kIdVswr2Start)->text(), QString("13.5"));
    EXPECT_EQ(Edit(kIdVswr2Stop)->text(), QString("14.9"));
    EXPECT_EQ(Edit(kIdVswr3Start)->text(), QString("20.1"));
    EXPECT_EQ(Edit(kIdVswr3Stop)->text(), QString("25"));
    EXPECT_EQ(Edit(kIdCableLength)->text(), QString("0"));
    EXPECT_FLOAT_EQ(dialog->m_vswr1StartMHz.load(), 6.1f);
    EXPECT_FLOAT_EQ(dialog->m_vswr2StartMHz.load(), 13.5f);
    EXPECT_TRUE(Box(kIdEnableVswr1)->isChecked());
    EXPECT_FALSE(Box(kIdEnableVswr2)->isChecked());
    EXPECT_TRUE(Box(kIdEnableVswr3)->isChecked());
    EXPECT_EQ(dialog->m_chartVswr1.m_curveColor[0], RGB(255, 255, 0));
    EXPECT_EQ(dialog->m_chartVswr2.m_curveColor[0], RGB(255, 0, 0));
    EXPECT_EQ(dialog->m_chartVswr3.m_curveColor[0], RGB(255, 255, 0));
    EXPECT_EQ(dialog->m_chartS21.m_curveColor[0], RGB(255, 255, 0));
    EXPECT_EQ(dialog->m_chartS21.m_backColor, RGB(0, 50, 0));
    EXPECT_EQ(dialog->m_chartS21.m_gridColor, RGB(10, 11, 12));
}

TEST_F(RememberSettingsTest, AFileThatDoesNotSayOnIsNeitherUsedNorChanged) {
    const QByteArray text = "[General]\nRememberSettings=false\n[Edits]\nRange1StartMHz=3.5\n";
    WriteFile(text);
    Open();
    EXPECT_FALSE(dialog->RememberAction()->isChecked());
    EXPECT_EQ(Edit(kIdVswr1Start)->text(), QString("6.1"));
    Edit(kIdVswr1Start)->setText("2");
    dialog->close();
    EXPECT_EQ(ReadFile(), text);
}

TEST_F(RememberSettingsTest, TurningItOffDeletesWhatWasSaved) {
    Open();
    ChooseRemember();
    EXPECT_TRUE(QFile::exists(FilePath()));
    Edit(kIdVswr2Start)->setText("14");
    CloseAndReopen();
    ASSERT_EQ(Edit(kIdVswr2Start)->text(), QString("14"));

    ChooseRemember();
    EXPECT_FALSE(dialog->RememberAction()->isChecked());
    EXPECT_TRUE(FilesInFolder().isEmpty()) << FilesInFolder().join(", ").toStdString();
    CloseAndReopen();
    EXPECT_TRUE(FilesInFolder().isEmpty());
    EXPECT_EQ(Edit(kIdVswr2Start)->text(), QString("13.1"));
    EXPECT_FALSE(dialog->RememberAction()->isChecked());
}

TEST_F(RememberSettingsTest, AFileThatCannotBeWrittenIsReportedAndTheEntryStaysOff) {
    // A plain file where the settings folder should be: no user can write there.
    QFile blocker(folder.filePath("KORVEL"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Open();
    SeenBox box;
    PressOnNextBox(box, QMessageBox::Ok);
    ChooseRemember();
    ASSERT_TRUE(WaitUntil([&] { return box.seen; }));
    EXPECT_TRUE(box.text.startsWith("The settings could not be written to"))
        << box.text.toStdString();
    EXPECT_FALSE(dialog->RememberAction()->isChecked());
}

TEST(RememberedSettingTexts, SwitchesAndColoursReadBackWhatIsWrittenAndRefuseTheRest) {
    for (bool on : {true, false}) {
        EXPECT_EQ(ReadSwitchSetting(ShowSwitchSetting(on)), on);
    }
    for (ColorRef c : {RGB(0, 0, 0), RGB(255, 255, 255), RGB(1, 2, 3), RGB(0xAB, 0xCD, 0xEF)}) {
        EXPECT_EQ(ReadColourSetting(ShowColourSetting(c)), c);
    }
    EXPECT_EQ(ShowColourSetting(RGB(1, 2, 3)), QString("#010203"));
    for (const char* bad : {"", "1", "True", "yes", " true"}) {
        EXPECT_FALSE(ReadSwitchSetting(QString(bad))) << bad;
    }
    EXPECT_FALSE(ReadSwitchSetting(QVariant(true)));  // only what the file gives: text
    for (const char* bad :
         {"#12345", "#1234567", "123456", "#+12345", "# 12345", "#0x1234", "red"}) {
        EXPECT_FALSE(ReadColourSetting(QString(bad))) << bad;
    }
    EXPECT_FALSE(ReadColourSetting(QVariant(QStringList{"#010203"})));
    EXPECT_FALSE(ReadEditSetting(QVariant(QStringList{"1", "2"})));
    EXPECT_FALSE(ReadEditSetting(QVariant()));
    EXPECT_EQ(ReadEditSetting(QString("7.1")), std::string("7.1"));
}

}  // namespace
}  // namespace korvel::testing
