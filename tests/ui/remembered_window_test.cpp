// The real program under Xvfb starts with the settings left in the user's
// configuration folder: a remembered chart background shows in its window.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace {

const char* const kCaption = "TALMER HF Antenna Analyzer V1.3 for KDX7720C";

// Ends a process still running when the test leaves.
struct Child {
    ~Child() {
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

int RunTool(const QString& program, const QStringList& args, QByteArray* output = nullptr) {
    QProcess tool;
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

TEST(RememberedSettingsUnderXvfb, TheRealWindowStartsWithTheRememberedBackground) {
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    const QString xwininfo = QStandardPaths::findExecutable("xwininfo");
    const QString import = QStandardPaths::findExecutable("import");
    if (xvfb.isEmpty() || xwininfo.isEmpty() || import.isEmpty()) {
        GTEST_SKIP()
            << "Xvfb, xwininfo or import missing (scripts/setup.sh gui-test installs them)";
    }
    // The user's configuration folder of the program: a temporary one.
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    ASSERT_TRUE(QDir(config.path()).mkpath("KORVEL"));
    QFile file(config.filePath("KORVEL/korvel.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[General]\nRememberSettings=true\n[Colours]\nBackground=#203040\n");
    file.close();

    Child server;
    server.process.start(xvfb,
                         {"-displayfd", "1", "-screen", "0", "1600x1000x24", "-nolisten", "tcp"});
    ASSERT_TRUE(server.process.waitForStarted(5000));
    QElapsedTimer wait;
    wait.start();
    QByteArray number;
    while (!number.contains('\n') && wait.elapsed() < 30000) {
        server.process.waitForReadyRead(100);
        number += server.process.readAllStandardOutput();
        ASSERT_EQ(server.process.state(), QProcess::Running);
    }
    ASSERT_TRUE(number.contains('\n')) << "Xvfb reported no display";
    const QString display = ":" + QString::fromLatin1(number.trimmed());

    Child program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_CONFIG_HOME", config.path());
    program.process.setProcessEnvironment(env);
    program.process.start(KORVEL_EXE, {"--simulate"});
    ASSERT_TRUE(program.process.waitForStarted(5000));

    const QStringList windowArgs = {"-display", display, "-name", kCaption};
    QByteArray info;
    wait.restart();
    while (RunTool(xwininfo, windowArgs, &info) != 0) {
        ASSERT_LT(wait.elapsed(), 60000) << "no window captioned " << kCaption;
        ASSERT_EQ(program.process.state(), QProcess::Running)
            << program.process.readAllStandardError().toStdString();
        QThread::msleep(100);
    }
    const auto field = [&info](const char* name) {
        const QRegularExpression re(QString("%1:\\s+(-?\\d+)").arg(name));
        return re.match(QString::fromUtf8(info)).captured(1).toInt();
    };
    const QString shotPath = QDir(config.path()).filePath("shot.png");
    const QColor remembered(0x20, 0x30, 0x40);
    QColor seen;
    wait.restart();
    do {
        QThread::msleep(300);
        ASSERT_EQ(RunTool(xwininfo, windowArgs, &info), 0);
        QFile::remove(shotPath);
        ASSERT_EQ(RunTool(import, {"-display", display, "-window", "root", shotPath}), 0);
        const QImage shot(shotPath);
        ASSERT_FALSE(shot.isNull());
        // The VSWR1 chart's left margin and the S21 chart's below its plot.
        seen = shot.pixelColor(field("Absolute upper-left X") + 413,
                               field("Absolute upper-left Y") + 100);
        if (seen == remembered) {
            EXPECT_EQ(shot.pixelColor(field("Absolute upper-left X") + 413,
                                      field("Absolute upper-left Y") + 660),
                      remembered);
        }
    } while (seen != remembered && wait.elapsed() < 30000);
    EXPECT_EQ(seen.name().toStdString(), remembered.name().toStdString());
}

}  // namespace
