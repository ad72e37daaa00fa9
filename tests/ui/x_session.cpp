#include "x_session.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace korvel::testing {

void ChildProcess::End() {
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
}

int RunTool(const QString& program, const QStringList& args, const QString& display,
            QByteArray* output) {
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

QString XSession::MissingTools(const QStringList& extraTools) {
    QStringList missing;
    for (const QString& tool : QStringList{"Xvfb", "xwininfo", "import"} + extraTools) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) {
            missing << tool;
        }
    }
    return missing.isEmpty()
               ? QString()
               : missing.join(", ") + " missing (scripts/setup.sh gui-test installs them)";
}

bool XSession::Open(const QString& program, const QStringList& args, const QStringList& extraEnv,
                    const QString& caption, std::string& error) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        program_.End();
        server_.End();
        if (!StartServer(error)) {
            return false;
        }
        if (!Launch(program, args, extraEnv)) {
            error = "the program did not start";
            return false;
        }
        if (WaitForWindow(caption, 60000)) {
            return true;
        }
        error = "no window named " + caption.toStdString() + "\n" + ProgramOutput();
        if (program_.process.state() == QProcess::Running) {
            return false;  // running without a window: no new server helps
        }
    }
    return false;
}

bool XSession::StartServer(std::string& error) {
    constexpr int kTimeoutMs = 30000;
    // The server picks a free display itself and reports its number on stdout.
    const QString serverLog = logs_.filePath("xvfb.log");
    server_.process.setStandardErrorFile(serverLog);
    server_.process.start(QStandardPaths::findExecutable("Xvfb"),
                          {"-displayfd", "1", "-screen", "0", "1600x1000x24", "-nolisten", "tcp"});
    if (!server_.process.waitForStarted(5000)) {
        error = "Xvfb did not start";
        return false;
    }
    QElapsedTimer wait;
    wait.start();
    QByteArray number;
    while (!number.contains('\n') && wait.elapsed() < kTimeoutMs) {
        server_.process.waitForReadyRead(100);
        number += server_.process.readAllStandardOutput();
        if (server_.process.state() != QProcess::Running) {
            QFile log(serverLog);
            error = log.open(QIODevice::ReadOnly) ? log.readAll().toStdString()
                                                  : std::string("Xvfb ended");
            return false;
        }
    }
    if (!number.contains('\n')) {
        error = "Xvfb reported no display";
        return false;
    }
    display_ = ":" + QString::fromLatin1(number.trimmed());
    shotPath_ = QDir::temp().filePath(
        QString("korvel-x-session-%1.png").arg(QString::fromLatin1(number.trimmed())));
    return true;
}

bool XSession::Launch(const QString& program, const QStringList& args,
                      const QStringList& extraEnv) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    env.insert("QT_QPA_PLATFORM", "xcb");
    for (const QString& entry : extraEnv) {
        const qsizetype eq = entry.indexOf('=');
        env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    program_.process.setProcessEnvironment(env);
    program_.process.setProcessChannelMode(QProcess::MergedChannels);
    program_.process.setStandardOutputFile(logs_.filePath("program.log"));
    program_.process.start(program, args);
    return program_.process.waitForStarted(5000);
}

std::string XSession::ProgramOutput() const {
    QFile log(logs_.filePath("program.log"));
    return log.open(QIODevice::ReadOnly) ? log.readAll().toStdString() : std::string();
}

QRect XSession::WindowRect(const QString& caption) const {
    QByteArray info;
    if (RunTool(QStandardPaths::findExecutable("xwininfo"),
                {"-display", display_, "-name", caption}, display_, &info) != 0) {
        return {};
    }
    const auto field = [&info](const char* name) {
        const QRegularExpression re(QString("%1:\\s+(-?\\d+)").arg(name));
        return re.match(QString::fromUtf8(info)).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                 field("Height"));
}

bool XSession::WaitForWindow(const QString& caption, int timeoutMs) {
    QElapsedTimer wait;
    wait.start();
    while (WindowRect(caption).isEmpty()) {
        // The pause also notices the program's end, which the state alone
        // would not report without an event loop.
        if (wait.elapsed() > timeoutMs || program_.process.state() != QProcess::Running ||
            program_.process.waitForFinished(100)) {
            return false;
        }
    }
    return true;
}

QImage XSession::Grab(const QRect& area) const {
    QFile::remove(shotPath_);
    if (RunTool(QStandardPaths::findExecutable("import"),
                {"-display", display_, "-window", "root", shotPath_}, display_) != 0) {
        return {};
    }
    const QImage shot = QImage(shotPath_).convertToFormat(QImage::Format_RGB32);
    QFile::remove(shotPath_);
    return shot.isNull() ? QImage() : shot.copy(area);
}

bool XSession::XDoTool(const QStringList& args, QByteArray* output) const {
    return RunTool(QStandardPaths::findExecutable("xdotool"), args, display_, output) == 0;
}

bool XSession::WaitForFocus(const QString& caption, int timeoutMs) const {
    QElapsedTimer wait;
    wait.start();
    QByteArray window;
    QByteArray focused;
    while (
        !XDoTool({"search", "--name", "^" + QRegularExpression::escape(caption) + "$"}, &window) ||
        !XDoTool({"getwindowfocus"}, &focused) || window.isEmpty() ||
        !window.split('\n').contains(focused.trimmed())) {
        if (wait.elapsed() > timeoutMs) {
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

}  // namespace korvel::testing
