// The window's commands: submits, alarms, colours, pointer read-out, Save View, About.
#include <QAction>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "about_dlg.h"
#include "bmp_writer.h"
#include "dialog_fixture.h"
#include "dialog_template.h"

namespace korvel::testing {
namespace {

using CommandsTest = DialogTest;

TEST_F(CommandsTest, SubmitSmithRaisesTheRequestEvenAfterARefusal) {
    Open();
    state.smithRequest = 0;
    Edit(kIdSmithFreq)->setText("60000");
    SeenBox box;
    PressOnNextBox(box, QMessageBox::Ok);
    dialog->OnSubmitSmith();
    EXPECT_EQ(box.text, QString("Enter an integer between 1000 and 50000."));
    EXPECT_EQ(dialog->m_sweep.m_smithFreqKHz.load(), 60000u);
    EXPECT_EQ(state.smithRequest.load(), 1);
    EXPECT_EQ(state.scanRequest.load(), 0);
}

TEST_F(CommandsTest, SubmitScanRecomputesPlansAndRaisesScan) {
    Open();
    Edit(kIdVswr1Start)->setText("1");
    Edit(kIdVswr1Stop)->setText("2");
    Edit(kIdVswr3Start)->setText("10");
    Edit(kIdVswr3Stop)->setText("12");
    dialog->OnSubmitScan();
    EXPECT_EQ(dialog->m_chartVswr1.m_startFreqHz, 1000000u);
    EXPECT_EQ(dialog->m_chartVswr1.m_stepHz, 5000u);
    EXPECT_EQ(dialog->m_chartVswr3.m_startFreqHz, 10000000u);
    EXPECT_EQ(dialog->m_chartVswr3.m_stepHz, 10000u);
    EXPECT_EQ(dialog->m_chartS21.m_startFreqHz, 10000000u);
    EXPECT_EQ(dialog->m_chartS21.m_stepHz, 10000u);
    EXPECT_EQ(state.scanRequest.load(), 1);
}

TEST_F(CommandsTest, SubmitScanUsesStoredValuesWhenAnEntryIsRefused) {
    Open();
    Edit(kIdVswr1Start)->setText("0.5");  // stored, then refused
    SeenBox box;
    PressOnNextBox(box, QMessageBox::Ok);
    dialog->OnSubmitScan();
    EXPECT_EQ(box.text, QString("Enter a number between 1 and 60."));
    EXPECT_EQ(dialog->m_chartVswr1.m_startFreqHz, 500000u);
    EXPECT_EQ(dialog->m_chartVswr1.m_stepHz, 37000u);  // (7.9 - 0.5) MHz / 200
    EXPECT_EQ(state.scanRequest.load(), 1);
}

TEST_F(CommandsTest, AlarmCancelChangesNothingAndOkRaisesTheRequest) {
    Open();
    SeenBox cancelled;
    PressOnNextBox(cancelled, QMessageBox::Cancel);
    dialog->OnZoCalibration();
    EXPECT_EQ(cancelled.title, QString("Alarm"));
    EXPECT_EQ(cancelled.text,
              QString("This operation must be very reliable!You need use a 50ohm cable and a "
                      "50ohm RF dummy load.You can cancel this operation right now,or click OK "
                      "to Countinue.."));
    EXPECT_EQ(state.zoCalRequest.load(), 0);

    SeenBox pinCancelled;
    PressOnNextBox(pinCancelled, QMessageBox::Cancel);
    dialog->OnPinCalibration();
    EXPECT_EQ(pinCancelled.text,
              QString("This operation must be very reliable!You need a more precise RF signal "
                      "generator to output 0dBm and -20dBm signal.You can cancel this operation "
                      "right now,or click OK to Countinue.."));
    EXPECT_EQ(state.pinCalRequest.load(), 0);

    SeenBox accepted;
    PressOnNextBox(accepted, QMessageBox::Ok);
    dialog->OnPinCalibration();
    EXPECT_EQ(state.pinCalRequest.load(), 1);
    EXPECT_EQ(state.zoCalRequest.load(), 0);
}

// Answers the next colour dialog: records its preselection, then picks `pick`
// (or cancels when `pick` is invalid).
void AnswerColour(QColor& preselected, const QColor& pick) {
    AnswerNextModal([&preselected, pick](QWidget* modal) {
        auto* dialog = qobject_cast<QColorDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        preselected = dialog->currentColor();
        if (pick.isValid()) {
            dialog->setCurrentColor(pick);
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
}

TEST_F(CommandsTest, BackgroundColourGoesToAllFourCharts) {
    Open();
    QColor preselected;
    AnswerColour(preselected, QColor(10, 20, 30));
    dialog->OnBackgroundColor();
    EXPECT_EQ(preselected, QColor(0, 50, 0));
    for (const CDisLine* chart : {&dialog->m_chartVswr1, &dialog->m_chartVswr2,
                                  &dialog->m_chartVswr3, &dialog->m_chartS21}) {
        EXPECT_EQ(chart->m_backColor, RGB(10, 20, 30));
        EXPECT_EQ(chart->m_gridColor, RGB(0, 153, 0));
    }
}

TEST_F(CommandsTest, CoordinateColourPreselectsVswr1AndCancelKeepsAll) {
    Open();
    dialog->m_chartVswr1.m_gridColor = RGB(1, 2, 3);
    QColor preselected;
    AnswerColour(preselected, QColor());
    dialog->OnCoordinateColor();
    EXPECT_EQ(preselected, QColor(1, 2, 3));
    EXPECT_EQ(dialog->m_chartVswr1.m_gridColor, RGB(1, 2, 3));
    EXPECT_EQ(dialog->m_chartS21.m_gridColor, RGB(0, 153, 0));

    AnswerColour(preselected, QColor(200, 100, 50));
    dialog->OnCoordinateColor();
    EXPECT_EQ(dialog->m_chartS21.m_gridColor, RGB(200, 100, 50));
}

TEST_F(CommandsTest, CurveColourChangesOnlyItsChart) {
    Open();
    QColor preselected;
    AnswerColour(preselected, QColor(0, 0, 255));
    dialog->OnVswr2Color();
    EXPECT_EQ(preselected, QColor(255, 255, 0));
    EXPECT_EQ(dialog->m_chartVswr2.m_curveColor[0], RGB(0, 0, 255));
    EXPECT_EQ(dialog->m_chartVswr1.m_curveColor[0], RGB(255, 255, 0));
    EXPECT_EQ(dialog->m_chartS21.m_curveColor[0], RGB(255, 255, 0));
}

TEST_F(CommandsTest, PointerOutsideTheBandsClearsAllCursors) {
    Open();
    for (CDisLine* chart : {&dialog->m_chartVswr1, &dialog->m_chartVswr2, &dialog->m_chartVswr3,
                            &dialog->m_chartS21}) {
        chart->m_cursorIndex = 17;
    }
    dialog->OnPointerMove(429, 100);
    for (const CDisLine* chart : {&dialog->m_chartVswr1, &dialog->m_chartVswr2,
                                  &dialog->m_chartVswr3, &dialog->m_chartS21}) {
        EXPECT_EQ(chart->m_cursorIndex, 0);
    }
}

TEST_F(CommandsTest, PointerReadoutAtTheEdgesOfVswr1) {
    Open();
    state.vswr1Points[0] = 3.0;
    state.vswr1Points[199] = 2.5;
    dialog->m_chartVswr2.m_cursorIndex = 5;
    dialog->m_chartVswr2.m_cursorText = "old";

    dialog->OnPointerMove(431, 100);
    EXPECT_EQ(dialog->m_chartVswr1.m_cursorIndex, 0);
    EXPECT_EQ(dialog->m_chartVswr1.m_cursorText, QString("f=6.100MHz  VSWR=3.0"));
    EXPECT_EQ(dialog->m_chartVswr2.m_cursorIndex, 0);
    EXPECT_EQ(dialog->m_chartVswr2.m_cursorText, QString("old"));  // left alone

    dialog->OnPointerMove(1152, 100);
    EXPECT_EQ(dialog->m_chartVswr1.m_cursorIndex, 199);
    // 6,100,000 + 9,000 x 199.7229 Hz
    EXPECT_EQ(dialog->m_chartVswr1.m_cursorText, QString("f=7.898MHz  VSWR=2.5"));
}

TEST_F(CommandsTest, PointerInTheOverlapUpdatesVswr3AndS21) {
    Open();
    state.vswr3Points[100] = 1.7;
    state.s21Points[100] = -12.34;
    const int x = 431 + 361;  // t = 100
    dialog->OnPointerMove(x, 433);
    EXPECT_EQ(dialog->m_chartVswr3.m_cursorIndex, 100);
    EXPECT_EQ(dialog->m_chartS21.m_cursorIndex, 100);
    EXPECT_EQ(dialog->m_chartVswr3.m_cursorText, QString("f=21.000MHz  VSWR=1.7"));
    EXPECT_EQ(dialog->m_chartS21.m_cursorText, QString("f=21.000MHz  S21=-12.3dB"));
    EXPECT_EQ(dialog->m_chartVswr1.m_cursorIndex, 0);
}

TEST_F(CommandsTest, PointerMovesReachTheWindowThroughTheCharts) {
    Open();
    state.vswr2Points[100] = 4.0;
    // The chart is transparent for the pointer, so the window receives the move.
    EXPECT_TRUE(dialog->m_chartVswr2.testAttribute(Qt::WA_TransparentForMouseEvents));
    QMouseEvent onWindow(QEvent::MouseMove, QPointF(792, 240), QPointF(792, 240), QPointF(792, 240),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(dialog.get(), &onWindow);
    EXPECT_EQ(dialog->m_chartVswr2.m_cursorIndex, 100);
    EXPECT_EQ(dialog->m_chartVswr2.m_cursorText, QString("f=14.000MHz  VSWR=4.0"));
}

// Answers the next file dialog with `path`, or cancels it when `path` is empty.
void AnswerFile(const QString& path, QString& defaultName, QStringList& filters) {
    AnswerNextModal([path, &defaultName, &filters](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        defaultName = dialog->selectedFiles().value(0);
        filters = dialog->nameFilters();
        EXPECT_EQ(dialog->defaultSuffix(), QString("BMP"));
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
    });
}

TEST_F(CommandsTest, SaveViewWritesTheClientAreaAsBmp) {
    Open();
    QTemporaryDir dir;
    const QString path = dir.filePath("view.BMP");
    QString defaultName;
    QStringList filters;
    AnswerFile(path, defaultName, filters);
    dialog->OnSaveView();
    EXPECT_TRUE(defaultName.endsWith("Result.BMP")) << defaultName.toStdString();
    EXPECT_EQ(filters, (QStringList{"Bit Image(*.BMP)", "PNG (*.png)"}));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const int bits = BmpBitsForDisplayDepth(dialog->screen()->depth());
    const auto layout = BmpLayoutFor(1235, 709, bits);
    ASSERT_TRUE(layout.has_value());
    ASSERT_EQ(static_cast<uint32_t>(bytes.size()), layout->fileBytes);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    const auto le32 = [&bytes](int at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
    };
    EXPECT_EQ(le32(2), layout->fileBytes);
    EXPECT_EQ(le32(10), layout->pixelOffset);
    EXPECT_EQ(le32(18), 1235u);  // width
    EXPECT_EQ(le32(22), 709u);   // height, rows bottom-up
}

TEST_F(CommandsTest, CancelledSaveViewWritesNothing) {
    Open();
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QString defaultName;
    QStringList filters;
    AnswerFile(QString(), defaultName, filters);
    dialog->OnSaveView();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    QDir::setCurrent(previous);
}

TEST_F(CommandsTest, SaveViewThatCannotBeWrittenSaysSo) {
    Open();
    QTemporaryDir dir;
    // A path below a regular file: nobody can create it, root included.
    const QString plainFile = dir.filePath("plainfile");
    {
        QFile file(plainFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString path = plainFile + "/Result.BMP";
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
    EXPECT_EQ(warning.title, QString("korvel"));
    EXPECT_TRUE(warning.text.contains(path)) << warning.text.toStdString();
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(CommandsTest, AboutEntryAsksForTheAboutBox) {
    Open();
    ASSERT_NE(dialog->AboutAction(), nullptr);
    EXPECT_EQ(dialog->AboutAction()->text(), QString("&About KORVEL..."));
    int requests = 0;
    QObject::connect(dialog.get(), &CKORVELDlg::aboutRequested, [&requests] { ++requests; });
    dialog->AboutAction()->trigger();
    EXPECT_EQ(requests, 1);
}

TEST(AboutBox, ShowsNameAndClosesOnOkAndEscape) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QString("About KORVEL"));
    const auto* name = about.findChild<QLabel*>("aboutName");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QString("KORVEL, Version 1.0"));
    EXPECT_EQ(about.size(), QSize(255, 101));

    AnswerNextModal([](QWidget* modal) {
        auto* ok = modal->findChild<QPushButton*>();
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QString("OK"));
        ok->click();
    });
    EXPECT_EQ(about.exec(), QDialog::Accepted);

    AnswerNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(about.exec(), QDialog::Rejected);
}

}  // namespace
}  // namespace korvel::testing
