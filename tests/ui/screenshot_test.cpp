// Starts the real program on the simulated instrument in a virtual X server,
// finds its window by caption and checks landmarks of a screenshot.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include "x_session.h"

namespace {

using korvel::testing::XSession;

const char* const kCaption = "TALMER HF Antenna Analyzer V1.3 for KDX7720C";

TEST(RealWindowUnderXvfb, ScreenshotShowsTheWindow) {
    const QString missing = XSession::MissingTools();
    if (!missing.isEmpty()) {
        GTEST_SKIP() << missing.toStdString();
    }

    XSession session;
    std::string error;
    ASSERT_TRUE(session.Open(KORVEL_EXE, {"--simulate"}, {}, kCaption, error)) << error;

    // Screenshots until the window has painted (a busy machine may take a
    // while); the window's place is read again each time, as it may still move.
    QImage shot;
    QRect window;
    const QColor chartBack(0, 50, 0);
    QElapsedTimer wait;
    wait.start();
    do {
        QThread::msleep(300);
        window = session.WindowRect(kCaption);
        ASSERT_FALSE(window.isEmpty());
        shot = session.Grab(window);
        ASSERT_FALSE(shot.isNull());
    } while (shot.pixelColor(413, 100) != chartBack && wait.elapsed() < 30000);
    const QString shotPath = QDir::temp().filePath("korvel-window-screenshot.png");
    shot.save(shotPath);
    std::printf("screenshot: %s (window at %d, %d)\n", qPrintable(shotPath), window.left(),
                window.top());
    EXPECT_EQ(window.width(), 1235);
    EXPECT_EQ(window.height(), 709);

    const auto at = [&](int x, int y) { return shot.pixelColor(x, y).name().toStdString(); };
    // The VSWR1 chart's default background, in its left margin.
    EXPECT_EQ(at(413, 100), chartBack.name().toStdString());
    // The S21 chart's background below its plot.
    EXPECT_EQ(at(413, 660), chartBack.name().toStdString());
    // The logo: dark blue at its top-left corner.
    const QColor logo = shot.pixelColor(1108, 674);
    EXPECT_GT(logo.blue(), 90);
    EXPECT_LT(logo.red(), 60);
    // The Smith panel: its square's black border at (4, 24).
    EXPECT_EQ(at(4, 100), "#000000");
}

}  // namespace
