// A virtual X server with the real program in it, for tests that drive the
// window from outside as a user would. Both processes end with the object.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

namespace korvel::testing {

// A child process that is ended (politely, then by force) when it goes away.
class ChildProcess {
  public:
    ~ChildProcess();
    QProcess process;
};

// Runs a short tool on `display` to its end, at most 10 s; its exit code, or -1.
int RunTool(const QString& program, const QStringList& args, const QString& display,
            QByteArray* output = nullptr);

class XSession {
  public:
    // The empty string when all of Xvfb, xwininfo, import and `extraTools` are
    // installed, else a message naming what is missing.
    static QString MissingTools(const QStringList& extraTools = {});

    // Starts a server on a display it picks itself; false (with `error` set)
    // when it does not report one within `timeoutMs`.
    bool Start(QString& error, int timeoutMs = 30000);
    const QString& Display() const { return display_; }

    // Starts `program` on the server with `extraEnv` (NAME=value) added.
    bool Launch(const QString& program, const QStringList& args, const QStringList& extraEnv);
    QProcess& Program() { return program_.process; }

    // The place of the top-level window named `caption`, or an empty rect.
    QRect WindowRect(const QString& caption) const;
    // Waits, at most `timeoutMs`, for a window named `caption`.
    bool WaitForWindow(const QString& caption, int timeoutMs);
    // The screen's picture cut to `area`; null when the grab fails.
    QImage Grab(const QRect& area) const;

    // Runs xdotool with `args`; true when it succeeds.
    bool XDoTool(const QStringList& args) const;

  private:
    ChildProcess server_;
    ChildProcess program_;
    QString display_;
    QString shotPath_;
};

}  // namespace korvel::testing
