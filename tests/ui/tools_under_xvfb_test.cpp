// Starts the real program on the simulated instrument in a virtual X server
// and uses the entries of its Tools submenu with real mouse clicks and keys,
// checking the written file and the window's pixels.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

#include "x_session.h"

namespace {

using korvel::testing::XSession;

const char* const kCaption = "TALMER HF Antenna Analyzer V1.3 for KDX7720C";

// Places in the window, relative to its top-left corner.
const QPoint kBackground(600, 704);  // below the buttons, no control there
const QPoint kSubmitScan(496, 685);
// The tops of the first two VSWR charts, which the simulated bench fills;
// their plots span x 431..1154 from 20 px lower on.
const int kVswrChartTop[] = {24, 174};
const QRect kS21Plot(QPoint(431, 474), QPoint(1154, 646));
const int kPlotLeft = 431;
const int kPlotRight = 1154;

const QColor kCurve(255, 255, 0);
// The curve colour halfway to the chart background (0, 50, 0).
const QColor kHeld(127, 152, 0);

int CountColour(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            n += image.pixel(x, y) == colour.rgb();
        }
    }
    return n;
}

// The plot of a VSWR chart (0..1).
QRect Plot(int chart) {
    return QRect(QPoint(kPlotLeft, kVswrChartTop[chart] + 20),
                 QPoint(kPlotRight, kVswrChartTop[chart] + 112));
}

// The rows above a VSWR chart's plot that hold the upper half of its 2:1
// text, wherever it stands: above the minimum marker's text, right of the
// legend.
QRect TextStrip(int chart) {
    return QRect(QPoint(kPlotLeft + 100, kVswrChartTop[chart] + 2),
                 QPoint(kPlotRight, kVswrChartTop[chart] + 10));
}

class ToolsUnderXvfb : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        // Under ThreadSanitizer the program's window has twice vanished in
        // the middle of this drive (CI, and here under load); the normal and
        // AddressSanitizer runs keep it, until that is understood.
        GTEST_SKIP() << "not under ThreadSanitizer";
#endif
        const QString missing = XSession::MissingTools({"xdotool"});
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
        ASSERT_TRUE(home.isValid() && runtime.isValid());
        std::string error;
        ASSERT_TRUE(x.Open(KORVEL_EXE, {"--simulate"},
                           {"XDG_CONFIG_HOME=" + home.path(), "XDG_RUNTIME_DIR=" + runtime.path()},
                           kCaption, error))
            << error;
    }

    // The window's picture; its place is read again, as it may still move.
    QImage Shot() {
        window = x.WindowRect(kCaption);
        return window.isEmpty() ? QImage() : x.Grab(window);
    }

    // Takes pictures until `done` holds for one, at most `timeoutMs`.
    bool ShotUntil(const std::function<bool(const QImage&)>& done, int timeoutMs,
                   QImage* last = nullptr) {
        QElapsedTimer wait;
        wait.start();
        do {
            const QImage shot = Shot();
            if (last) {
                *last = shot;
            }
            if (!shot.isNull() && done(shot)) {
                return true;
            }
            QThread::msleep(200);
        } while (wait.elapsed() < timeoutMs && x.Program().state() == QProcess::Running);
        return false;
    }

    bool Click(QPoint at, int button) {
        const QPoint screen = window.topLeft() + at;
        return x.XDoTool({"mousemove", QString::number(screen.x()), QString::number(screen.y()),
                          "click", QString::number(button)});
    }

    // Grabs `area` of the screen until it differs from `base` and has held
    // still for one more grab (a menu fully drawn); the changed pixels' box.
    QRect WaitForChange(const QRect& area, const QImage& base, int timeoutMs) {
        QElapsedTimer wait;
        wait.start();
        QRect last;
        do {
            QThread::msleep(100);
            const QImage now = x.Grab(area);
            QRect changed;
            for (int y = 0; !now.isNull() && y < now.height(); ++y) {
                for (int x0 = 0; x0 < now.width(); ++x0) {
                    if (now.pixel(x0, y) != base.pixel(x0, y)) {
                        changed |= QRect(x0, y, 1, 1);
                    }
                }
            }
            if (!changed.isEmpty() && changed == last) {
                return changed.translated(area.topLeft());
            }
            last = changed;
        } while (wait.elapsed() < timeoutMs);
        return {};
    }

    // Opens the context menu on the background, then its Tools submenu, and
    // presses the entry's key. Each key waits for its menu on the screen, and
    // the pointer leaves the menu's corner first: a menu that maps under the
    // pointer and hears of it only after the keys would close the submenu.
    bool ChooseTool(const QString& key) {
        // The menu opens down and right from the click, mostly below the
        // window: that part is watched, where nothing else changes (the
        // window itself repaints as it loses the focus to the menu).
        const QRect below =
            QRect(QPoint(window.left() + kBackground.x(), window.bottom() + 1), QSize(700, 280)) &
            QRect(0, 0, 1600, 1000);
        if (menuFree_.isNull()) {
            menuFree_ = x.Grab(below);  // before any menu has opened
        }
        // The last menu may still be on the screen while a slow program
        // closes it: a new one there would change nothing.
        const QImage& base = menuFree_;
        QElapsedTimer wait;
        wait.start();
        while (x.Grab(below) != base) {
            if (wait.elapsed() > 10000) {
                return false;
            }
            QThread::msleep(100);
        }
        if (base.isNull() || !Click(kBackground, 3)) {
            return false;
        }
        const QRect menu = WaitForChange(below, base, 10000);
        if (menu.isEmpty() ||
            !x.XDoTool({"mousemove", QString::number(window.left() + 5),
                        QString::number(window.top() + 5)}) ||
            !x.XDoTool({"key", "t"})) {
            return false;
        }
        const QRect right = QRect(QPoint(menu.right() + 1, below.top()), below.bottomRight());
        return !WaitForChange(right, base.copy(right.translated(-below.topLeft())), 10000)
                    .isEmpty() &&
               x.XDoTool({"key", key});
    }

    // Keeps `shot` for a look after a failure; its path.
    static std::string Keep(const QImage& shot) {
        const QString path = QDir::temp().filePath("korvel-tools-under-xvfb.png");
        shot.save(path);
        return path.toStdString();
    }

    QTemporaryDir home;
    QTemporaryDir runtime;  // private to the child, as Qt wants it
    XSession x;
    QRect window;
    QImage menuFree_;  // the screen under the menus with none open
};

// The data rows of an exported CSV file per range, after checking the header
// and that every field that must be a number is one, the held columns' too.
QMap<QString, int> CheckCsv(const QByteArray& text) {
    QMap<QString, int> rows;
    const QList<QByteArray> lines = text.trimmed().split('\n');
    qsizetype k = 0;
    int comments = 0;
    while (k < lines.size() && lines[k].startsWith('#')) {
        ++comments;
        ++k;
    }
    EXPECT_GE(comments, 5);
    EXPECT_TRUE(text.contains("# program=KORVEL\n"));
    EXPECT_TRUE(text.contains("# device=sim\n"));
    EXPECT_LT(k, lines.size());
    if (k >= lines.size()) {
        return rows;
    }
    EXPECT_EQ(lines[k],
              "range,freq_mhz,vswr,return_loss_db,gamma_mag,mismatch_loss_db,s21_db,"
              "held_vswr,held_s21_db,r_ohm,x_ohm,z_mag_ohm,gamma_re,gamma_im");
    QMap<QString, double> lastFreq;
    for (++k; k < lines.size(); ++k) {
        const QList<QByteArray> fields = lines[k].split(',');
        EXPECT_EQ(fields.size(), 14) << lines[k].toStdString();
        if (fields.size() != 14) {
            continue;
        }
        const QString range = QString::fromLatin1(fields[0]);
        // S21 belongs to range 3; every point was measured when held.
        const bool s21 = range == "3";
        for (int f = 1; f < 9; ++f) {
            bool ok = false;
            fields[f].toDouble(&ok);
            EXPECT_EQ(ok, s21 || (f != 6 && f != 8))
                << "field " << f << " in " << lines[k].toStdString();
        }
        const double freq = fields[1].toDouble();
        EXPECT_GE(fields[2].toDouble(), 1.0) << lines[k].toStdString();
        if (lastFreq.contains(range)) {
            EXPECT_GT(freq, lastFreq[range]) << lines[k].toStdString();
        }
        lastFreq[range] = freq;
        ++rows[range];
    }
    return rows;
}

TEST_F(ToolsUnderXvfb, ExportResonanceAndHoldWorkFromTheContextMenu) {
    QElapsedTimer total;
    total.start();
    QImage shot;
    // Painted: the first chart's background in its left margin.
    ASSERT_TRUE(ShotUntil(
        [](const QImage& s) { return s.pixelColor(413, 100) == QColor(0, 50, 0); }, 30000, &shot))
        << "window not painted";
    ASSERT_TRUE(Click(kSubmitScan, 1));

    // A full pass has reached the right end of the last chart's plot: the
    // flat line drawn before any measurement there has become a slope.
    const QRect lastRangeEnd(QPoint(kPlotRight - 14, kS21Plot.top()),
                             QPoint(kPlotRight - 2, kS21Plot.bottom()));
    const auto curveRows = [&](const QImage& s) {
        int rows = 0;
        for (int y = lastRangeEnd.top(); y <= lastRangeEnd.bottom(); ++y) {
            rows +=
                CountColour(s, QRect(lastRangeEnd.left(), y, lastRangeEnd.width(), 1), kCurve) > 0;
        }
        return rows;
    };
    ASSERT_EQ(curveRows(shot), 1) << "no flat line before the first pass: " << Keep(shot);
    ASSERT_TRUE(ShotUntil([&](const QImage& s) { return curveRows(s) >= 3; }, 60000, &shot))
        << "no full pass drawn; last picture: " << Keep(shot);

    // Hold Traces, then Export Data: the file has the held columns. The
    // dimmed copy shows wherever the live curve moves off it, which the
    // simulator's noise does within a pass or two. Text edges may blend to the
    // same colour here and there; a held curve adds runs of pixels.
    const auto heldPixels = [](const QImage& s) {
        int held = 0;
        for (const QRect& plot : {Plot(0), Plot(1), kS21Plot}) {
            held += CountColour(s, plot, kHeld);
        }
        return held;
    };
    const int before = heldPixels(shot);
    EXPECT_LT(before, 10);
    ASSERT_TRUE(ChooseTool("h")) << "no Tools menu; last picture: " << Keep(Shot());

    const QString csvPath = home.filePath("sweep export.csv");
    ASSERT_TRUE(ChooseTool("e")) << "no Tools menu; last picture: " << Keep(Shot());
    ASSERT_TRUE(x.WaitForWindow("Export Data", 10000)) << "no Export Data dialog";
    ASSERT_TRUE(x.WaitForFocus("Export Data", 10000)) << "the dialog never had the focus";
    ASSERT_TRUE(x.XDoTool({"key", "ctrl+a"}));
    ASSERT_TRUE(x.XDoTool({"type", "--delay", "10", csvPath}));
    ASSERT_TRUE(x.XDoTool({"key", "Return"}));
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(csvPath) && wait.elapsed() < 10000) {
        QThread::msleep(100);
    }
    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly))
        << "nothing written to " << csvPath.toStdString() << "; last picture: " << Keep(Shot());
    const QMap<QString, int> rows = CheckCsv(csv.readAll());
    // All three ranges are enabled at start.
    EXPECT_EQ(rows.keys(), (QStringList{"1", "2", "3"}));
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        EXPECT_EQ(it.value(), 200) << "range " << it.key().toStdString();
    }

    // Show Resonance and Bandwidth: both filled VSWR charts gain their 2:1
    // text line.
    shot = Shot();
    ASSERT_FALSE(shot.isNull());
    for (int chart = 0; chart < 2; ++chart) {
        EXPECT_EQ(CountColour(shot, TextStrip(chart), kCurve), 0) << "chart " << chart;
    }
    ASSERT_TRUE(ChooseTool("r")) << "no Tools menu; last picture: " << Keep(Shot());
    EXPECT_TRUE(ShotUntil(
        [](const QImage& s) {
            for (int chart = 0; chart < 2; ++chart) {
                if (CountColour(s, TextStrip(chart), kCurve) < 20) {
                    return false;
                }
            }
            return true;
        },
        10000))
        << "no resonance text in both VSWR charts";

    EXPECT_TRUE(
        ShotUntil([&](const QImage& s) { return heldPixels(s) >= before + 40; }, 15000, &shot))
        << "no held trace drawn; last picture: " << Keep(shot);
    std::printf("held pixels: %d before, %d after\n", before, heldPixels(shot));

    EXPECT_EQ(x.Program().state(), QProcess::Running) << x.ProgramOutput();
    std::printf("tools under Xvfb: %lld ms\n", static_cast<long long>(total.elapsed()));
}

}  // namespace
