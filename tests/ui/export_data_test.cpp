// Export Data from the real window: the file's columns checked against
// figures worked out here from the VSWR the charts show, in CSV and JSON,
// with held traces, and a failure that leaves no file and says so.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <optional>

#include "tools_fixture.h"

namespace korvel::testing {
namespace {

struct Expected {
    double gamma;
    double returnLoss;  // NaN: infinite (VSWR 1)
    double mismatchLoss;
};

// The usual formulas, written out independently of the program's.
std::optional<Expected> ExpectedFor(double vswr) {
    if (!(vswr >= 1.0) || !std::isfinite(vswr)) {
        return std::nullopt;
    }
    const double g = (vswr - 1.0) / (vswr + 1.0);
    return Expected{g, g > 0 ? -20.0 * std::log10(g) : std::nan(""),
                    -10.0 * std::log10(1.0 - g * g)};
}

double Vswr1At(std::size_t k) {
    return k == 5 ? 0.0 : 1.0 + 0.02 * static_cast<double>(k);  // point 5 never measured
}

class ExportTest : public ToolsTest {
  protected:
    void SetUp() override {
        for (std::size_t k = 0; k < kSweepPoints; ++k) {
            state.vswr1Points[k] = Vswr1At(k);
            state.vswr2Points[k] = 2.5;
            state.vswr3Points[k] = 1.0 + 0.01 * static_cast<double>(k);
            state.s21Points[k] = -3.0 - 0.1 * static_cast<double>(k);
        }
    }

    // Chooses Export Data from the menu and saves to `path` with `filter`.
    QStringList ExportTo(const QString& path, const QString& filter) {
        QStringList filters;
        AnswerNextModal([&](QWidget* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(files, nullptr);
            EXPECT_EQ(files->windowTitle(), QString("Export Data"));
            EXPECT_EQ(files->acceptMode(), QFileDialog::AcceptSave);
            filters = files->nameFilters();
            files->selectNameFilter(filter);
            files->selectFile(path);
            static_cast<QDialog*>(files)->accept();
        });
        ChooseTool(Qt::Key_E);
        return filters;
    }

    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

void ExpectNear(const QString& field, double expected, const char* what, int row,
                double tolerance = 1e-9) {
    bool ok = false;
    const double value = field.toDouble(&ok);
    ASSERT_TRUE(ok) << what << " row " << row << ": '" << field.toStdString() << "'";
    EXPECT_NEAR(value, expected, tolerance * std::max(1.0, std::abs(expected)))
        << what << " row " << row;
}

TEST_F(ExportTest, CsvHoldsEveryEnabledRangeWithDerivedColumns) {
    Open();
    dialog->m_enableVswr2 = 0;  // a disabled range is left out
    QTemporaryDir dir;
    const QString path = dir.filePath("result.csv");
    const QStringList filters = ExportTo(path, "CSV (*.csv)");
    EXPECT_EQ(filters, (QStringList{"CSV (*.csv)", "JSON (*.json)"}));

    const QStringList lines = QString::fromUtf8(Read(path)).split('\n', Qt::SkipEmptyParts);
    QStringList comments;
    QStringList rows;
    for (const QString& line : lines) {
        (line.startsWith('#') ? comments : rows) << line;
    }
    const QString header = comments.join('\n');
    EXPECT_TRUE(header.contains("program=KORVEL")) << header.toStdString();
    EXPECT_TRUE(
        header.contains(QRegularExpression("time=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ")))
        << header.toStdString();
    EXPECT_TRUE(header.contains("device=usb"));  // the default instrument layer
    EXPECT_TRUE(header.contains("smith.freq_khz=14270"));

    ASSERT_EQ(rows.size(), 1 + 2 * static_cast<int>(kSweepPoints));
    EXPECT_EQ(rows[0], QString("range,freq_mhz,vswr,return_loss_db,gamma_mag,mismatch_loss_db,"
                               "s21_db"));
    for (int i = 1; i < rows.size(); ++i) {
        const QStringList f = rows[i].split(',');
        ASSERT_EQ(f.size(), 7) << rows[i].toStdString();
        const bool first = i <= static_cast<int>(kSweepPoints);
        const std::size_t k = static_cast<std::size_t>(first ? i - 1 : i - 1 - 200);
        EXPECT_EQ(f[0], first ? QString("1") : QString("3"));
        const double start = first ? 6.1 : 20.1;
        // The sweep computes its frequencies in single precision: within 1 Hz.
        ExpectNear(f[1], start + static_cast<double>(k) * 1.8 / 200, "freq", i, 1e-7);
        const double vswr = first ? state.vswr1Points[k].load() : state.vswr3Points[k].load();
        const auto expected = ExpectedFor(vswr);
        if (!expected) {
            for (int c = 2; c <= 5; ++c) {
                EXPECT_TRUE(f[c].isEmpty()) << "row " << i << " column " << c;
            }
        } else {
            ExpectNear(f[2], vswr, "vswr", i);
            if (std::isnan(expected->returnLoss)) {
                EXPECT_TRUE(f[3].isEmpty()) << "infinite return loss, row " << i;
            } else {
                ExpectNear(f[3], expected->returnLoss, "return loss", i);
            }
            ExpectNear(f[4], expected->gamma, "gamma", i);
            ExpectNear(f[5], expected->mismatchLoss, "mismatch loss", i);
        }
        if (first) {
            EXPECT_TRUE(f[6].isEmpty());
        } else {
            ExpectNear(f[6], state.s21Points[k].load(), "s21", i);
        }
    }
}

TEST_F(ExportTest, JsonHasNullForUnmeasuredAndHeldColumnsWhenHeld) {
    Open();
    ChooseTool(Qt::Key_H);  // held: today's curves
    for (std::size_t k = 0; k < kSweepPoints; ++k) {
        state.vswr1Points[k] = 3.0;  // the live curve moves on
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("result");  // the chosen filter gives the suffix
    AnswerNextModal([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(files, nullptr);
        auto* types = files->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        QTest::keyClick(types, Qt::Key_Down);  // as a user picks JSON
        files->selectFile(path);
        static_cast<QDialog*>(files)->accept();
    });
    ChooseTool(Qt::Key_E);

    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(Read(path + ".json"), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject root = doc.object();
    EXPECT_EQ(root["header"].toObject()["program"].toString(), QString("KORVEL"));
    const QJsonArray ranges = root["ranges"].toArray();
    ASSERT_EQ(ranges.size(), 3);
    const QJsonArray points1 = ranges[0].toObject()["points"].toArray();
    ASSERT_EQ(points1.size(), static_cast<int>(kSweepPoints));
    for (int k = 0; k < points1.size(); ++k) {
        const QJsonObject p = points1[k].toObject();
        EXPECT_EQ(p["range"].toInt(), 1);
        EXPECT_DOUBLE_EQ(p["vswr"].toDouble(), 3.0);
        EXPECT_NEAR(p["gamma_mag"].toDouble(), 0.5, 1e-12);
        EXPECT_FALSE(p.contains("s21_db"));
        const double held = Vswr1At(static_cast<std::size_t>(k));
        if (k == 5) {
            EXPECT_TRUE(p["held_vswr"].isNull());  // never measured: null, not 0
        } else {
            EXPECT_DOUBLE_EQ(p["held_vswr"].toDouble(), held) << k;
        }
    }
    const QJsonObject last3 = ranges[2].toObject()["points"].toArray()[199].toObject();
    EXPECT_DOUBLE_EQ(last3["s21_db"].toDouble(), state.s21Points[199].load());
    EXPECT_DOUBLE_EQ(last3["held_s21_db"].toDouble(), state.s21Points[199].load());
}

TEST_F(ExportTest, UnwritableFileIsReportedAndNothingIsLeft) {
    Open();
    QTemporaryDir dir;
    const QString plainFile = dir.filePath("plainfile");
    {
        QFile file(plainFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString path = plainFile + "/result.csv";
    SeenBox warning;
    AnswerNextModal([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(files, nullptr);
        files->selectFile(path);
        PressOnNextBox(warning, QMessageBox::Ok);
        static_cast<QDialog*>(files)->accept();
    });
    ChooseTool(Qt::Key_E);
    EXPECT_TRUE(warning.seen);
    EXPECT_EQ(warning.title, QString("korvel"));
    EXPECT_FALSE(warning.text.isEmpty());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"plainfile"});
}

TEST_F(ExportTest, CancelledExportWritesNothing) {
    Open();
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    AnswerNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    ChooseTool(Qt::Key_E);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    QDir::setCurrent(previous);
}

}  // namespace
}  // namespace korvel::testing
