// The Impedance window in the real program under Xvfb: opened from the Tools
// submenu while the simulated instrument sweeps, a marker placed with the
// mouse brings its read-out row, and Save View writes the window as PNG.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

#include "x_session.h"

namespace {

using korvel::testing::XSession;

const char* const kCaption = "TALMER HF Antenna Analyzer V1.3 for KDX7720C";
const QPoint kBackground(600, 704);
const QPoint kSubmitScan(496, 685);
const QColor kMarker(90, 0, 140);

// Pixels of `image` inside `area` for which `match` holds.
template <typename Match>
int Count(const QImage& image, const QRect& area, Match match) {
    int n = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            n += match(image.pixelColor(x, y));
    }
    return n;
}

bool Reddish(const QColor& c) {
    return c.red() > 150 && c.green() < 110 && c.blue() < 110;
}

class ImpedanceUnderXvfb : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "not under ThreadSanitizer, as the other Xvfb drive";
#endif
        const QString missing = XSession::MissingTools({"xdotool"});
        if (!missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        std::string error;
        ASSERT_TRUE(x.Open(KORVEL_EXE, {"--simulate"},
                           {"XDG_CONFIG_HOME=" + home.path(), "XDG_RUNTIME_DIR=" + runtime.path()},
                           kCaption, error))
            << error;
    }

    bool ClickAt(const QString& caption, QPoint at, int button) {
        const QPoint screen = x.WindowRect(caption).topLeft() + at;
        return x.XDoTool({"mousemove", QString::number(screen.x()), QString::number(screen.y()),
                          "click", QString::number(button)});
    }

    // Takes pictures of the window named `caption` until `done` holds.
    bool ShotUntil(const QString& caption, const std::function<bool(const QImage&)>& done,
                   QImage& shot) {
        QElapsedTimer wait;
        wait.start();
        do {
            shot = x.Grab(x.WindowRect(caption));
            if (!shot.isNull() && done(shot))
                return true;
            QThread::msleep(200);
        } while (wait.elapsed() < 60000 && x.Program().state() == QProcess::Running);
        return false;
    }

    std::string Keep(const QImage& shot) {
        const QString path = QDir::temp().filePath("korvel-impedance-under-xvfb.png");
        shot.save(path);
        return path.toStdString();
    }

    QTemporaryDir home;
    QTemporaryDir runtime;
    XSession x;
};

TEST_F(ImpedanceUnderXvfb, MarkerRowAndSaveView) {
    QImage shot;
    ASSERT_TRUE(ShotUntil(
        kCaption, [](const QImage& s) { return s.pixelColor(413, 100) == QColor(0, 50, 0); }, shot))
        << "window not painted";
    ASSERT_TRUE(ClickAt(kCaption, kSubmitScan, 1));
    // Tools > Impedance...: right click on the background, then t and i.
    ASSERT_TRUE(ClickAt(kCaption, kBackground, 3));
    QThread::msleep(500);
    ASSERT_TRUE(x.XDoTool({"key", "t"}));
    QThread::msleep(500);
    ASSERT_TRUE(x.XDoTool({"key", "i"}));
    ASSERT_TRUE(x.WaitForWindow("Impedance", 10000)) << "no Impedance window";

    // The first range's curves arrive as the sweep goes.
    const QRect chart(60, 60, 500, 250);
    ASSERT_TRUE(ShotUntil(
        "Impedance", [&](const QImage& s) { return Count(s, chart, Reddish) > 200; }, shot))
        << "no R curve drawn: " << Keep(shot);
    const QRect rows(0, shot.height() - 200, shot.width(), 140);
    const QImage before = shot.copy(rows);

    // A click in the chart places marker 1: its line, and its row below.
    ASSERT_TRUE(ClickAt("Impedance", QPoint(300, 200), 1));
    ASSERT_TRUE(ShotUntil(
        "Impedance",
        [&](const QImage& s) {
            return Count(s, chart, [](const QColor& c) { return c == kMarker; }) > 100 &&
                   s.copy(rows) != before;
        },
        shot))
        << "no marker and row: " << Keep(shot);

    // Save View (Ctrl+S) writes the window as it stands.
    ASSERT_TRUE(x.WaitForFocus("Impedance", 10000));
    ASSERT_TRUE(x.XDoTool({"key", "ctrl+s"}));
    ASSERT_TRUE(x.WaitForWindow("Save View", 10000)) << "no Save View dialog";
    ASSERT_TRUE(x.WaitForFocus("Save View", 10000));
    const QString path = home.filePath("impedance view.png");
    ASSERT_TRUE(x.XDoTool({"key", "ctrl+a"}));
    ASSERT_TRUE(x.XDoTool({"type", "--delay", "10", path}));
    ASSERT_TRUE(x.XDoTool({"key", "Return"}));
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(path) && wait.elapsed() < 10000)
        QThread::msleep(100);
    const QImage saved(path);
    ASSERT_FALSE(saved.isNull()) << "nothing saved; " << Keep(x.Grab(x.WindowRect("Impedance")));
    EXPECT_EQ(saved.size(), shot.size());
    EXPECT_GT(Count(saved, chart, [](const QColor& c) { return c == kMarker; }), 100);
    EXPECT_EQ(x.Program().state(), QProcess::Running) << x.ProgramOutput();
}

}  // namespace
