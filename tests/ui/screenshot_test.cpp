// Starts the real program on the simulated instrument in a virtual X server,
// finds its window by caption and checks landmarks of a screenshot.
#include <gtest/gtest.h>

#include <unistd.h>
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

    // A display number of our own.
    int number = 100 + static_cast<int>(getpid() % 800);
    while (QFileInfo::exists(QString("/tmp/.X11-unix/X%1").arg(number)) ||
           QFileInfo::exists(QString("/tmp/.X%1-lock").arg(number))) {
        ++number;
    }
    const QString display = QString(":%1").arg(number);

    Process server;
    server.process.start(xvfb, {display, "-screen", "0", "1600x1000x24", "-nolisten", "tcp"});
    ASSERT_TRUE(server.process.waitForStarted(5000));
    QElapsedTimer wait;
    wait.start();
    while (!QFileInfo::exists(QString("/tmp/.X11-unix/X%1").arg(number)) &&
           wait.elapsed() < 10000) {
        QThread::msleep(20);
    }

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
    const int left = field("Absolute upper-left X");
    const int top = field("Absolute upper-left Y");
    EXPECT_EQ(field("Width"), 1235);
    EXPECT_EQ(field("Height"), 709);

    // Screenshots until the window has painted (a busy machine may take a while).
    const QString shotPath = QDir::temp().filePath("korvel-window-screenshot.png");
    QImage shot;
    const QColor chartBack(0, 50, 0);
    wait.restart();
    do {
        QThread::msleep(300);
        QFile::remove(shotPath);
        ASSERT_EQ(RunTool(import, {"-display", display, "-window", "root", shotPath}, display), 0);
        shot = QImage(shotPath);
        ASSERT_FALSE(shot.isNull());
    } while (shot.pixelColor(left + 413, top + 100) != chartBack && wait.elapsed() < 30000);
    std::printf("screenshot: %s\n", qPrintable(shotPath));

    const auto at = [&](int x, int y) { return shot.pixelColor(left + x, top + y); };
    // The VSWR1 chart's default background, in its left margin.
    EXPECT_EQ(at(413, 100).name(), chartBack.name());
    // The S21 chart's background below its plot.
    EXPECT_EQ(at(413, 660).name(), chartBack.name());
    // The logo: dark blue at its top-left corner.
    const QColor logo = at(1108, 674);
    EXPECT_GT(logo.blue(), 90);
    EXPECT_LT(logo.red(), 60);
    // The Smith panel: its square's black border at (4, 24).
    EXPECT_EQ(at(4, 100).name(), QColor(0, 0, 0).name());
}

}  // namespace
