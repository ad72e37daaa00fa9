// Export Data from the real window: the columns checked against figures
// worked out here from the VSWR the charts show; held traces; a failure.
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>

#include "tools_fixture.h"

namespace korvel::testing {
namespace {

class ExportTest : public ToolsTest {
  protected:
    // Exports through the menu to `name` in a fresh folder; `json` picks that filter.
    QByteArray Export(const QString& name, bool json, SeenBox* warning = nullptr) {
        AnswerNextModal([&](QWidget* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(files, nullptr);
            EXPECT_EQ(files->windowTitle(), QString("Export Data"));
            EXPECT_EQ(files->nameFilters(), (QStringList{"CSV (*.csv)", "JSON (*.json)"}));
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
    dialog->m_enableVswr2 = 0;  // left out
    const QStringList lines = QString(Export("r.csv", false)).split('\n', Qt::SkipEmptyParts);
    const QString header = lines.filter(QRegularExpression("^#")).join('\n');
    EXPECT_TRUE(
        header.contains(QRegularExpression("program=KORVEL\n# version=\\S+\n# time=\\d{4}-"
                                           "\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\n# device=usb")))
        << header.toStdString();
    const QStringList rows = lines.filter(QRegularExpression("^[^#]"));
    ASSERT_EQ(rows.size(), 401);
    EXPECT_EQ(rows[0], "range,freq_mhz,vswr,return_loss_db,gamma_mag,mismatch_loss_db,s21_db");
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
