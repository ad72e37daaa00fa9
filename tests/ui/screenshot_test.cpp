// Starts the real program on the simulated instrument in a virtual X server,
// finds its window by caption and checks landmarks of a screenshot.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace {

const char* const kCaption = "TALMER HF Antenna Analyzer V1.3 for KDX7720C";

class Process {
  public:
    ~Process() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
    }
    QProcess process;
};

// Runs a short tool to its end; its exit code, or -1.
int RunTool(const QString& program, const QStringList& args, const QString& display,
            QByteArray* output = nullptr) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    tool.setProcessEnvironment(env);
    tool.start(program, args);
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished();
        return -1;
    }
    if (output) {
        *output = tool.readAllStandardOutput();
    }
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

TEST(RealWindowUnderXvfb, ScreenshotShowsTheWindow) {
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    const QString xwininfo = QStandardPaths::findExecutable("xwininfo");
    const QString import = QStandardPaths::findExecutable("import");
    if (xvfb.isEmpty() || xwininfo.isEmpty() || import.isEmpty()) {
        GTEST_SKIP()
            << "Xvfb, xwininfo or import missing (scripts/setup.sh gui-test installs them)";
    }

    // The server picks a free display itself and reports its number on stdout.
    Process server;
    server.process.start(xvfb,
                         {"-displayfd", "1", "-screen", "0", "1600x1000x24", "-nolisten", "tcp"});
    ASSERT_TRUE(server.process.waitForStarted(5000));
    QElapsedTimer wait;
    wait.start();
    QByteArray number;
    while (!number.contains('\n') && wait.elapsed() < 30000) {
        server.process.waitForReadyRead(100);
        number += server.process.readAllStandardOutput();
        ASSERT_EQ(server.process.state(), QProcess::Running)
            << server.process.readAllStandardError().toStdString();
    }
    ASSERT_TRUE(number.contains('\n')) << "Xvfb reported no display";
    const QString display = ":" + QString::fromLatin1(number.trimmed());

    Process program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    program.process.setProcessEnvironment(env);
    program.process.start(KORVEL_EXE, {"--simulate"});
    ASSERT_TRUE(program.process.waitForStarted(5000));

    // The caption is the window's name.
    QByteArray info;
    wait.restart();
    while (RunTool(xwininfo, {"-display", display, "-name", kCaption}, display, &info) != 0) {
        ASSERT_LT(wait.elapsed(), 60000) << "no window captioned " << kCaption << "\n"
                                         << program.process.readAllStandardError().toStdString();
        ASSERT_EQ(program.process.state(), QProcess::Running)
            << program.process.readAllStandardError().toStdString();
        QThread::msleep(100);
    }
    const auto field = [&info](const char* name) {
        const QRegularExpression re(QString("%1:\\s+(-?\\d+)").arg(name));
        return re.match(QString::fromUtf8(info)).captured(1).toInt();
    };

    // Screenshots until the window has painted (a busy machine may take a
    // while); the window's place is read again each time, as it may still move.
    const QString shotPath = QDir::temp().filePath("korvel-window-screenshot.png");
    QImage shot;
    int left = 0;
    int top = 0;
    const QColor chartBack(0, 50, 0);
    wait.restart();
    do {
        QThread::msleep(300);
        ASSERT_EQ(RunTool(xwininfo, {"-display", display, "-name", kCaption}, display, &info), 0);
        left = field("Absolute upper-left X");
        top = field("Absolute upper-left Y");
        QFile::remove(shotPath);
        ASSERT_EQ(RunTool(import, {"-display", display, "-window", "root", shotPath}, display), 0);
        shot = QImage(shotPath);
        ASSERT_FALSE(shot.isNull());
    } while (shot.pixelColor(left + 413, top + 100) != chartBack && wait.elapsed() < 30000);
    std::printf("screenshot: %s (window at %d, %d)\n", qPrintable(shotPath), left, top);
    EXPECT_EQ(field("Width"), 1235);
    EXPECT_EQ(field("Height"), 709);

    const auto at = [&](int x, int y) {
        return shot.pixelColor(left + x, top + y).name().toStdString();
    };
    // The VSWR1 chart's default background, in its left margin.
    EXPECT_EQ(at(413, 100), chartBack.name().toStdString());
    // The S21 chart's background below its plot.
    EXPECT_EQ(at(413, 660), chartBack.name().toStdString());
    // The logo: dark blue at its top-left corner.
    const QColor logo = shot.pixelColor(left + 1108, top + 674);
    EXPECT_GT(logo.blue(), 90);
    EXPECT_LT(logo.red(), 60);
    // The Smith panel: its square's black border at (4, 24).
    EXPECT_EQ(at(4, 100), "#000000");
}

}  // namespace
