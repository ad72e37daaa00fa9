// The context menu's Tools entries driven in the real window as a user
// drives them (a right click or Shift+F10, then the mnemonics): held traces,
// the resonance marks, Save View's PNG and Export Data, whose columns are
// checked against figures worked out here from the VSWR the charts show.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>

#include "dialog_fixture.h"
#include "dialog_template.h"
#include "draw_context.h"
#include "text_recorder.h"
#include "tools_menu.h"

namespace korvel::testing {
namespace {

// Runs `act` on the next popup menu to open other than `notThis`.
void OnNextPopup(std::function<void(QMenu*)> act, QWidget* notThis = nullptr) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, notThis, act = std::move(act)] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu && menu != notThis) {
            poll->deleteLater();
            poll->stop();
            act(menu);
        }
    });
    poll->start();
}

class ToolsTest : public DialogTest {
  protected:
    // Presses `key` in the Tools submenu, keeping the texts of both menus.
    void ChooseTool(Qt::Key key, bool rightClick = false) {
        bool reached = false;
        OnNextPopup([&](QMenu* root) {
            OnNextPopup(
                [&, root](QMenu* tools) {
                    menuTexts.clear();
                    for (const QMenu* m : {root, tools}) {
                        for (const QAction* action : m->actions()) {
                            menuTexts << (action->isSeparator() ? QString("-") : action->text());
                        }
                    }
                    reached = true;
                    QTest::keyClick(tools, key);
                    root->close();  // after Escape, which closes the submenu only
                },
                root);
            QTest::keyClick(root, Qt::Key_T);
        });
        if (rightClick) {  // on the background below the buttons
            ASSERT_EQ(dialog->childAt(600, 704), nullptr);
            QTest::mouseClick(dialog->windowHandle(), Qt::RightButton, {}, QPoint(600, 704));
        } else {
            dialog->Control(kIdSubmitScan)->setFocus();
            QTest::keyClick(dialog->windowHandle(), Qt::Key_F10, Qt::ShiftModifier);
        }
        EXPECT_TRUE(WaitUntil([&] { return reached && !QApplication::activePopupWidget(); }));
    }

    static QImage Grab(QWidget& widget) {
        widget.update();
        return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QStringList menuTexts;
};

TEST_F(ToolsTest, MenuOpensByMouseAndKeyboardAndHeldTracesLieDimmedUnderTheLiveCurve) {
    Open();
    for (const bool rightClick : {true, false}) {
        ChooseTool(Qt::Key_Escape, rightClick);
        EXPECT_EQ(menuTexts.join('|'),
                  QString::fromUtf8("&Tools|-|&About KORVEL...|&Export "
                                    "Data\u2026|-|&Hold Traces|&Clear Held "
                                    "Traces|Show &Resonance and Bandwidth|&Impedance\u2026|-|&Band "
                                    "Presets|Re&member Settings"));
    }
    EXPECT_FALSE(dialog->Tools().ClearHeldTraces()->isEnabled());  // nothing held yet
    EXPECT_FALSE(dialog->Tools().ShowResonance()->isChecked());    // off at start

    for (auto& v : state.vswr2Points)
        v = 3.0;
    ChooseTool(Qt::Key_H);
    for (std::size_t k = 100; k < kSweepPoints; ++k)
        state.vswr2Points[k] = 1.5;  // moves on
    CDisLine& chart = dialog->m_chartVswr2;
    const QImage image = Grab(chart);
    const auto count = [&](int point, ColorRef color) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            n += image.pixel(20 + point * (chart.width() - 90) / 200, y) == ToQColor(color).rgb();
        }
        return n;
    };
    const ColorRef dimmed = DimmedColor(chart.m_curveColor[0], chart.m_backColor);
    EXPECT_EQ(count(50, dimmed), 0);  // covered where both agree
    EXPECT_GE(count(150, dimmed), 1);
    EXPECT_GE(count(150, chart.m_curveColor[0]), 1);

    dialog->OnSubmitScan();  // same ranges: all kept
    Edit(kIdVswr2Start)->setText("14");
    dialog->OnSubmitScan();  // VSWR2 moves: its trace goes, the rest stay
    EXPECT_TRUE(chart.m_heldSamples.empty());
    EXPECT_EQ(dialog->m_chartS21.m_heldSamples.size(), kSweepPoints);
    ChooseTool(Qt::Key_Escape);
    EXPECT_TRUE(menuTexts.contains("&Clear Held Traces (VSWR2 dropped: range changed)"));
    ChooseTool(Qt::Key_C);
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
    const TextDraw* text = texts.Find(QString::fromUtf8("2:1  6.820\u20137.180 MHz  (360 kHz)"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->at.x(), chart.width() - 70);  // clear of the marker in the middle

    // The minimum near the right edge: the text ends left of the marker's
    // frequency, which it would otherwise overwrite.
    for (std::size_t k = 0; k < kSweepPoints; ++k) {
        state.vswr1Points[k] = 1.0 + std::abs(static_cast<double>(k) - 170.0) * 0.05;
    }
    texts.Clear();
    Grab(chart);
    text = texts.Find(QString::fromUtf8("2:1  7.450\u20137.810 MHz  (360 kHz)"));
    const TextDraw* marker = texts.Find("7.630(MHz)");
    ASSERT_TRUE(text && marker);
    EXPECT_EQ(text->align, kTaRight);
    EXPECT_LE(text->at.x(), marker->at.x() - 10);
    EXPECT_GT(text->at.x() - QFontMetrics(text->font).horizontalAdvance(text->text), 100);

    ChooseTool(Qt::Key_R);  // off again: as before
    for (std::size_t k = 0; k < kSweepPoints; ++k) {
        state.vswr1Points[k] = 1.0 + std::abs(static_cast<double>(k) - 100.0) * 0.05;
    }
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

class ExportTest : public ToolsTest {
  protected:
    // Exports through the menu to `name` in a fresh folder; `json` picks that filter.
    QByteArray Export(const QString& name, bool json, SeenBox* warning = nullptr) {
        AnswerNextModal([&](QWidget* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(files, nullptr);
            EXPECT_EQ(files->windowTitle(), QString("Export Data"));
            EXPECT_EQ(files->nameFilters(),
                      (QStringList{"CSV (*.csv)", "JSON (*.json)", "Touchstone (*.s1p)"}));
            if (json)
                QTest::keyClick(files->findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
            files->selectFile(dir.filePath(name));
            if (warning)
                PressOnNextBox(*warning, QMessageBox::Ok);
            static_cast<QDialog*>(files)->accept();
        });
        ChooseTool(Qt::Key_E);
        QFile file(dir.filePath(name + (json ? ".json" : "")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

TEST_F(ExportTest, CsvColumnsFollowFromTheShownVswr) {
    Open();
    for (std::size_t k = 0; k < kSweepPoints; ++k) {
        state.vswr1Points[k] = k == 5 ? 0.0 : 1.0 + 0.02 * k;  // point 5 never measured
        state.vswr3Points[k] = 1.0 + 0.01 * k;                 // a perfect match at point 0
        state.s21Points[k] = -0.1 * k;
    }
    dialog->m_sweep.m_enableVswr2 = 0;  // left out
    const QStringList lines = QString(Export("r.csv", false)).split('\n', Qt::SkipEmptyParts);
    const QString header = lines.filter(QRegularExpression("^#")).join('\n');
    EXPECT_TRUE(
        header.contains(QRegularExpression("program=KORVEL\n# version=\\S+\n# time=\\d{4}-"
                                           "\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\n# device=usb")))
        << header.toStdString();
    const QStringList rows = lines.filter(QRegularExpression("^[^#]"));
    ASSERT_EQ(rows.size(), 401);
    EXPECT_EQ(rows[0],
              "range,freq_mhz,vswr,return_loss_db,gamma_mag,mismatch_loss_db,s21_db,r_ohm,x_ohm,"
              "z_mag_ohm,gamma_re,gamma_im");
    for (int i = 1; i <= 400; ++i) {
        const QStringList f = rows[i].split(',');
        const bool first = i <= 200;
        const int k = (i - 1) % 200;
        const double v = (first ? state.vswr1Points : state.vswr3Points)[k];
        EXPECT_EQ(f.value(0), first ? "1" : "3");
        EXPECT_NEAR(f.value(1).toDouble(), (first ? 6.1 : 20.1) + k * 0.009, 1e-6) << i;
        const double g = (v - 1) / (v + 1);
        const double want[4] = {v, -20 * std::log10(g), g, -10 * std::log10(1 - g * g)};
        for (int c = 0; c < 4; ++c) {
            if (v < 1 || (c == 1 && g == 0)) {  // never measured; infinite return loss
                EXPECT_TRUE(f.value(2 + c).isEmpty()) << i << "," << c;
            } else {
                EXPECT_NEAR(f.value(2 + c).toDouble(), want[c], 1e-9) << i << "," << c;
            }
        }
        EXPECT_EQ(f.value(6).isEmpty(), first);
    }
}

TEST_F(ExportTest, JsonCarriesHeldTracesAndNullForNeverMeasured) {
    Open();
    state.vswr1Points[3] = 1.5;
    ChooseTool(Qt::Key_H);
    state.vswr1Points[3] = 3.0;
    const QJsonArray ranges = QJsonDocument::fromJson(Export("r", true))["ranges"].toArray();
    ASSERT_EQ(ranges.size(), 3);
    const QJsonArray points = ranges[0]["points"].toArray();
    EXPECT_EQ(points[3]["vswr"].toDouble(), 3.0);
    EXPECT_NEAR(points[3]["gamma_mag"].toDouble(), 0.5, 1e-12);
    EXPECT_EQ(points[3]["held_vswr"].toDouble(), 1.5);
    EXPECT_TRUE(points[4]["vswr"].isNull());  // never measured: null, not 0
    EXPECT_TRUE(points[4]["held_vswr"].isNull());
    EXPECT_FALSE(points[4].toObject().contains("s21_db"));
    EXPECT_TRUE(ranges[2]["points"][0].toObject().contains("held_s21_db"));
}

TEST_F(ExportTest, UnwritableFileIsShownAndNothingIsLeft) {
    Open();
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    SeenBox warning;
    Export("plain/r.csv", false, &warning);
    EXPECT_TRUE(warning.seen);
    EXPECT_EQ(warning.title, QString("korvel"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"plain"});
}

}  // namespace
}  // namespace korvel::testing
