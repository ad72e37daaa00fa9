// The Windows build run under Wine in a virtual X server: the real KORVEL.exe
// against korvel-sim on this machine, and the installer's round trip. Runs
// when KORVEL_WINDOWS_BUILD names the cross-build folder (scripts/windows.sh
// sets it), in the Wine prefix of WINEPREFIX.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>

#include "dialog_template.h"
#include "dialog_units.h"
#include "x_session.h"

namespace {

using korvel::testing::ChildProcess;
using korvel::testing::XSession;

const QString kCaption = QString::fromLatin1(korvel::kDialogCaption);
// Quiet, without the prompts to install .NET and the HTML engine, and with no
// menu entries of this machine's desktop made for Windows shortcuts.
const QStringList kWineEnv = {"WINEDEBUG=-all",
                              "WINEDLLOVERRIDES=mscoree=;mshtml=;winemenubuilder.exe=d"};
const QColor kChartBack(0, 50, 0);
const QColor kCurve(255, 255, 0);

QString WindowsBuild() {
    return qEnvironmentVariable("KORVEL_WINDOWS_BUILD");
}

// Runs `wine args...` to its end (at most `timeoutMs`): its exit code, or -1.
int Wine(const QStringList& args, QByteArray* output = nullptr, int timeoutMs = 120000) {
    QProcess wine;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : kWineEnv) {
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    }
    wine.setProcessEnvironment(env);
    wine.setProcessChannelMode(QProcess::MergedChannels);
    wine.start("wine", args);
    if (!wine.waitForFinished(timeoutMs)) {
        wine.kill();
        wine.waitForFinished();
        return -1;
    }
    if (output) {
        *output = wine.readAll();
    }
    return wine.exitStatus() == QProcess::NormalExit ? wine.exitCode() : -1;
}

// Waits for every process of the prefix to end (an uninstaller goes on after
// the command that started it has returned).
bool WinePrefixIdle() {
    return QProcess::execute("wineserver", {"-w"}) == 0;
}

// The prefix's fonts: Wine's own UI font, "MS Shell Dlg", is one that Qt
// cannot resolve, so the message, menu and status fonts become Liberation Sans
// (9 points); and Arial, which Wine lacks, is Liberation Sans too, as on Linux.
bool SetPrefixUiFont(const QString& folder) {
    QByteArray logfont(92, '\0');                       // LOGFONTW
    qToLittleEndian<qint32>(-12, logfont.data());       // lfHeight
    qToLittleEndian<qint32>(400, logfont.data() + 16);  // lfWeight
    const QString face = QStringLiteral("Liberation Sans");
    for (int i = 0; i < face.size(); ++i) {
        qToLittleEndian<quint16>(face.at(i).unicode(), logfont.data() + 28 + 2 * i);
    }
    QByteArray hex = logfont.toHex(',');
    QByteArray reg =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]\r\n";
    for (const char* name : {"MessageFont", "MenuFont", "StatusFont"}) {
        reg += QByteArray("\"") + name + "\"=hex:" + hex + "\r\n";
    }
    reg +=
        "\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"
        "\"Arial\"=\"Liberation Sans\"\r\n";
    QFile file(folder + "/ui-font.reg");
    return file.open(QIODevice::WriteOnly) && file.write(reg) == reg.size() &&
           (file.close(), Wine({"reg", "import", file.fileName()}) == 0);
}

// A TCP port on the loopback that no one listens on now (korvel-sim takes no 0).
int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool ok = bind(s, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    close(s);
    return ok ? ntohs(address.sin_port) : 0;
}

int CountColour(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += image.pixel(x, y) == colour.rgb();
        }
    }
    return n;
}

QRect PixelRect(const korvel::ControlTemplate& c) {
    return QRect(korvel::DluToPixelsX(c.x), korvel::DluToPixelsY(c.y),
                 korvel::DluToPixelsX(c.width), korvel::DluToPixelsY(c.height));
}

class UnderWine : public ::testing::Test {
  protected:
    void SetUp() override {
        if (WindowsBuild().isEmpty()) {
            GTEST_SKIP() << "KORVEL_WINDOWS_BUILD is not set (scripts/windows.sh sets it)";
        }
        const QString missing = XSession::MissingTools({"xdotool", "wine"});
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
        ASSERT_TRUE(files.isValid());
        ASSERT_TRUE(SetPrefixUiFont(files.path()));
    }

    // Pictures of the window until `done` holds for one, at most `timeoutMs`.
    bool ShotUntil(const std::function<bool(const QImage&)>& done, int timeoutMs) {
        QElapsedTimer wait;
        wait.start();
        do {
            window = x.WindowRect(kCaption);
            shot = window.isEmpty() ? QImage() : x.Grab(window);
            if (!shot.isNull() && done(shot)) {
                return true;
            }
            QThread::msleep(300);
        } while (wait.elapsed() < timeoutMs);
        return false;
    }

    bool Click(const QRect& control) {
        const QPoint at = window.topLeft() + control.center();
        return x.XDoTool(
            {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
    }

    // The place of a shown window whose name matches `pattern` and that is at
    // least `minWidth` wide, other than the screen; empty after `timeoutMs`.
    QRect Shown(const QString& pattern, int timeoutMs, int minWidth = 1) const {
        QElapsedTimer wait;
        wait.start();
        do {
            QByteArray ids;
            x.XDoTool({"search", "--onlyvisible", "--name", pattern}, &ids);
            for (const QByteArray& id : ids.split('\n')) {
                QByteArray g;
                if (id.isEmpty() || !x.XDoTool({"getwindowgeometry", "--shell", id}, &g)) {
                    continue;
                }
                const auto field = [&g](const char* name) {
                    return QRegularExpression(QString("%1=(-?\\d+)").arg(name))
                        .match(QString::fromLatin1(g))
                        .captured(1)
                        .toInt();
                };
                const QRect r(field("X"), field("Y"), field("WIDTH"), field("HEIGHT"));
                if (r.width() >= minWidth && r.size() != QSize(1600, 1000)) {
                    return r;
                }
            }
            QThread::msleep(200);
        } while (wait.elapsed() < timeoutMs);
        return {};
    }

    // Keeps the last picture for a look after a failure; its path.
    std::string Keep() const {
        const QString path = QDir::temp().filePath("korvel-exe-under-wine.png");
        shot.save(path);
        return path.toStdString();
    }

    QTemporaryDir files;
    XSession x;
    QRect window;
    QImage shot;
};

TEST_F(UnderWine, KorvelExeSweepsSavesItsViewAndShowsTheLinkError) {
    const QString endpoint = QString("tcp:127.0.0.1:%1").arg(FreePort());
    ChildProcess sim;
    sim.process.start(KORVEL_SIM, {"--listen", endpoint, "--seed", "7"});
    ASSERT_TRUE(sim.process.waitForReadyRead(10000)) << "korvel-sim did not start";
    std::string error;
    ASSERT_TRUE(x.Open("wine", {WindowsBuild() + "/app/KORVEL.exe", "--device", endpoint}, kWineEnv,
                       kCaption, error))
        << error;

    // The layout of the Linux window: its size, the frame of each button and
    // edit at its left and right edges (within a pixel), every text drawn.
    ASSERT_TRUE(
        ShotUntil([](const QImage& s) { return s.pixelColor(413, 100) == kChartBack; }, 60000))
        << "window not painted: " << Keep();
    EXPECT_EQ(window.size(), QSize(1235, 709));
    const auto edge = [&](int x0, int y) {
        return shot.pixel(x0 - 1, y) != shot.pixel(x0, y) ||
               shot.pixel(x0, y) != shot.pixel(x0 + 1, y);
    };
    const auto ink = [&](const QRect& area, QRgb base) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x0 = area.left(); x0 <= area.right(); ++x0) {
                n += std::abs(qGray(shot.pixel(x0, y)) - qGray(base)) > 40;
            }
        }
        return n;
    };
    const QRgb background = shot.pixel(600, 704);
    QRect submitScan;
    QRect saveView;
    for (const korvel::ControlTemplate& c : korvel::MainDialogControls()) {
        using K = korvel::ControlKind;
        const QRect r = PixelRect(c);
        SCOPED_TRACE(::testing::Message()
                     << (c.text[0] ? c.text : "control") << " at " << r.x() << ", " << r.y());
        const bool button = c.kind == K::kButton || c.kind == K::kDefaultButton;
        if (button || c.kind == K::kEdit) {
            EXPECT_TRUE(edge(r.left(), r.center().y()) && edge(r.right(), r.center().y()));
        }
        if (button) {
            const QRect face = r.adjusted(3, 3, -3, -3);
            EXPECT_GT(ink(face, shot.pixel(face.topLeft())), 10);
        } else if (c.kind == K::kTextCentred || c.kind == K::kTextLeft) {
            EXPECT_GT(ink(r, background), 4 * static_cast<int>(std::strlen(c.text)));
        }
        submitScan = c.id == korvel::kIdSubmitScan ? r : submitScan;
        saveView = c.id == korvel::kIdSaveView ? r : saveView;
    }
    // The charts and the Smith panel, drawn by the program itself.
    EXPECT_EQ(shot.pixelColor(413, 660), kChartBack);      // S21, below its plot
    EXPECT_EQ(shot.pixelColor(4, 100).name(), "#000000");  // the Smith square's border
    const QColor logo = shot.pixelColor(1108, 674);
    EXPECT_TRUE(logo.blue() > 90 && logo.red() < 60) << logo.name().toStdString();

    // A whole pass: the right end of the S21 plot, a flat line before, becomes a slope.
    const QRect lastRangeEnd(QPoint(1140, 474), QPoint(1152, 646));
    const auto curveRows = [&](const QImage& s) {
        int rows = 0;
        for (int y = lastRangeEnd.top(); y <= lastRangeEnd.bottom(); ++y) {
            rows +=
                CountColour(s, QRect(lastRangeEnd.left(), y, lastRangeEnd.width(), 1), kCurve) > 0;
        }
        return rows;
    };
    ASSERT_TRUE(Click(submitScan));
    ASSERT_TRUE(ShotUntil([&](const QImage& s) { return curveRows(s) >= 3; }, 120000))
        << "no whole pass drawn: " << Keep();

    // "About KORVEL..." in the system menu, its last entry (without a window
    // manager there is no title bar: Alt+Space opens the menu).
    ASSERT_TRUE(Click(QRect(600, 704, 1, 1)));  // the background: the window active
    for (const char* key : {"alt+space", "Up", "Return"}) {
        ASSERT_TRUE(x.XDoTool({"key", key}));
        QThread::msleep(500);
    }
    ASSERT_FALSE(Shown("^About KORVEL$", 10000).isEmpty()) << "no About box: " << Keep();
    ASSERT_TRUE(x.XDoTool({"key", "Escape"}));

    // Save View through the Windows file dialog (nameless under Wine), the
    // name typed without its suffix; the BMP read back here.
    ASSERT_TRUE(Click(saveView));
    ASSERT_FALSE(Shown("^$", 20000, 300).isEmpty()) << "no file dialog";
    QByteArray name;
    ASSERT_EQ(Wine({"winepath", "-w", files.filePath("view")}, &name), 0);
    for (const QStringList& keys : {QStringList{"key", "ctrl+a"},
                                    {"type", "--delay", "20", QString::fromUtf8(name.trimmed())},
                                    {"key", "Return"}}) {
        ASSERT_TRUE(x.XDoTool(keys));
    }
    QElapsedTimer wait;
    wait.start();
    QImage saved;
    while (saved.isNull() && wait.elapsed() < 20000) {
        QThread::msleep(200);
        saved = QImage(files.filePath("view.BMP"), "BMP");
    }
    EXPECT_EQ(saved.size(), QSize(1235, 709))
        << QDir(files.path()).entryList().join(' ').toStdString();

    // The simulator gone: the link-error box, titled from the executable's
    // name. Its text ends in the full-width "！", a bar over a dot, where a
    // missing glyph would leave another letter last or an unbroken box.
    sim.End();
    const QRect box = Shown("^KORVEL$", 30000);
    ASSERT_FALSE(box.isEmpty()) << "no link-error box: " << x.ProgramOutput();
    QThread::msleep(1000);  // painted
    shot = x.Grab(box);
    const auto column = [&](int x0) {  // the inked rows of the text's column x0
        QString rows;
        for (int y = 0; y < shot.height() * 2 / 5; ++y) {  // above the buttons
            rows += qGray(shot.pixel(x0, y)) < 200 ? '#' : '.';
        }
        return rows;
    };
    int right = shot.width() - 1;
    while (right > 0 && !column(right).contains('#')) {
        --right;
    }
    int left = right;
    while (left > 0 && column(left - 1).contains('#')) {
        --left;
    }
    EXPECT_LT(right - left, 4) << "the last glyph is too wide: " << Keep();
    QString glyph = column(right);
    for (int x0 = left; x0 < right; ++x0) {
        const QString rows = column(x0);
        for (int y = 0; y < rows.size(); ++y) {
            glyph[y] = rows[y] == '#' ? QChar('#') : glyph[y];
        }
    }
    EXPECT_TRUE(QRegularExpression("#+\\.+#+").match(glyph).hasMatch())
        << glyph.toStdString() << " " << Keep();
}

// What the prefix holds outside its temporary folders: the files of drive C:
// and the registry lines that name KORVEL (without the keys' times).
QStringList PrefixContents(const QString& prefix) {
    QStringList contents;
    QDirIterator files(prefix + "/drive_c", QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        if (!path.contains("/Temp/")) {
            contents << path;
        }
    }
    for (const char* hive : {"/system.reg", "/user.reg"}) {
        QFile reg(prefix + hive);
        if (reg.open(QIODevice::ReadOnly)) {
            for (const QString& line : QString::fromUtf8(reg.readAll()).split('\n')) {
                if (line.contains("KORVEL", Qt::CaseInsensitive)) {
                    contents << QString(line).remove(QRegularExpression("\\] \\d+$"));
                }
            }
        }
    }
    contents.sort();
    return contents;
}

TEST_F(UnderWine, InstallerInstallsRunsAndUninstallsWithNothingLeft) {
    const QString setup = WindowsBuild() + "/KORVEL-" KORVEL_VERSION "-win64.exe";
    ASSERT_TRUE(QFile::exists(setup)) << setup.toStdString();
    const QString prefix = qEnvironmentVariable("WINEPREFIX", QDir::homePath() + "/.wine");
    ASSERT_TRUE(WinePrefixIdle());  // the registry written out
    const QStringList before = PrefixContents(prefix);

    ASSERT_EQ(Wine({setup, "/S"}), 0);
    ASSERT_TRUE(WinePrefixIdle());
    const QString folder = prefix + "/drive_c/Program Files/KORVEL/";
    for (const char* file :
         {"KORVEL.exe", "korvel-sweep.exe", "korvel-sim.exe", "korvel-bridge.exe", "Uninstall.exe",
          "Qt6Widgets.dll", "libstdc++-6.dll", "platforms/qwindows.dll",
          "styles/qwindowsvistastyle.dll"}) {
        EXPECT_TRUE(QFile::exists(folder + file)) << file;
    }
    EXPECT_TRUE(QFile::exists(prefix +
                              "/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KORVEL/"
                              "KORVEL.lnk"));
    const QString installed = "C:\\Program Files\\KORVEL\\";
    QByteArray out;
    EXPECT_EQ(Wine({installed + "KORVEL.exe", "--help"}, &out), 0);
    EXPECT_TRUE(out.contains("--device")) << out.toStdString();
    EXPECT_EQ(Wine({installed + "korvel-sweep.exe", "--device", "sim", "--passes", "1"}, &out), 0);
    EXPECT_TRUE(out.contains("\n3,")) << out.toStdString();

    ASSERT_EQ(Wine({installed + "Uninstall.exe", "/S"}), 0);
    ASSERT_TRUE(WinePrefixIdle());  // the uninstaller goes on after its start returns
    EXPECT_EQ(PrefixContents(prefix), before);
}

}  // namespace
