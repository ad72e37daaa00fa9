// A virtual X server with the real program in it, for tests that drive the
// window from outside as a user would. Both processes end with the object.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <string>

namespace korvel::testing {

// A child process that is ended (politely, then by force) when it goes away.
class ChildProcess {
  public:
    ~ChildProcess() { End(); }
    void End();
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

    // Starts a server on a free display and `program` on it, with `extraEnv`
    // (NAME=value) added, and waits until its window named `caption` shows.
    // A program that ends first (another server on the machine may take the
    // display's socket as it goes) is tried again on a fresh server, twice at
    // most. False, with `error` set, when no window shows.
    bool Open(const QString& program, const QStringList& args, const QStringList& extraEnv,
              const QString& caption, std::string& error);
    const QString& Display() const { return display_; }
    QProcess& Program() { return program_.process; }
    // What the program has written to stdout and stderr so far.
    std::string ProgramOutput() const;

    // The place of the top-level window named `caption`, or an empty rect.
    QRect WindowRect(const QString& caption) const;
    // Waits, at most `timeoutMs`, for a window named `caption`; false at
    // once when the program has ended.
    bool WaitForWindow(const QString& caption, int timeoutMs);
    // The screen's picture cut to `area`; null when the grab fails.
    QImage Grab(const QRect& area) const;

    // Runs xdotool with `args`; true when it succeeds.
    bool XDoTool(const QStringList& args, QByteArray* output = nullptr) const;
    // Waits, at most `timeoutMs`, until the window named `caption` has the
    // keyboard focus: keys typed before would go elsewhere.
    bool WaitForFocus(const QString& caption, int timeoutMs) const;

  private:
    bool StartServer(std::string& error);
    bool Launch(const QString& program, const QStringList& args, const QStringList& extraEnv);

    // The children write to files: nobody reads their pipes while a test
    // waits, and a full pipe would stop them.
    QTemporaryDir logs_;
    ChildProcess server_;
    ChildProcess program_;
    QString display_;
    QString shotPath_;
};

}  // namespace korvel::testing
