// The Windows build under Wine in a virtual X server: the real KORVEL.exe
// against korvel-sim on this machine, and the installer's round trip. Runs when
// KORVEL_WINDOWS_BUILD names the cross-build folder, in the Wine prefix and
// settings that scripts/windows.sh makes (WINEPREFIX, its fonts).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cstring>

#include "dialog_template.h"
#include "dialog_units.h"
#include "x_session.h"

namespace {

using korvel::testing::XSession;

const QString kBuild = qEnvironmentVariable("KORVEL_WINDOWS_BUILD");
const QString kCaption = QString::fromLatin1(korvel::kDialogCaption);

// Runs `wine args...` to its end, at most two minutes: its exit code, or -1.
// With no arguments, waits for the prefix's processes to end instead (which
// also writes the registry out).
int Wine(const QStringList& args, QByteArray* output = nullptr) {
    QProcess wine;
    wine.setProcessChannelMode(QProcess::MergedChannels);
    wine.start(args.isEmpty() ? "wineserver" : "wine", args.isEmpty() ? QStringList{"-w"} : args);
    const bool ended = wine.waitForFinished(120000);
    if (output) {
        *output = wine.readAll();
    }
    return ended && wine.exitStatus() == QProcess::NormalExit ? wine.exitCode() : -1;
}

// The pixels of `area` for which `hit` holds: how many, and their bounding box.
struct Hits {
    int count = 0;
    QRect box;
};
Hits Find(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& hit) {
    Hits hits;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (hit(image.pixel(x, y))) {
                ++hits.count;
                hits.box |= QRect(x, y, 1, 1);
            }
        }
    }
    return hits;
}

class UnderWine : public ::testing::Test {
  protected:
    void SetUp() override {
        if (kBuild.isEmpty()) {
            GTEST_SKIP() << "KORVEL_WINDOWS_BUILD is not set (scripts/windows.sh sets it)";
        }
        const QString missing = XSession::MissingTools({"xdotool", "wine"});
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
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

    bool Click(QPoint at) {
        at += window.topLeft();
        return x.XDoTool(
            {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
    }

    // The place of a shown window named as `pattern` says, other than the
    // screen itself; empty after 30 s.
    QRect Shown(const QString& pattern) const {
        const QRegularExpression re("X=(\\d+)\\s+Y=(\\d+)\\s+WIDTH=(\\d+)\\s+HEIGHT=(\\d+)");
        for (int attempt = 0; attempt < 100; ++attempt, QThread::msleep(300)) {
            QByteArray out;
            x.XDoTool({"search", "--onlyvisible", "--name", pattern, "getwindowgeometry", "--shell",
                       "%@"},
                      &out);
            for (auto m = re.globalMatch(QString::fromLatin1(out)); m.hasNext();) {
                const auto g = m.next();
                const QRect r(g.captured(1).toInt(), g.captured(2).toInt(), g.captured(3).toInt(),
                              g.captured(4).toInt());
                if (r.size() != QSize(1600, 1000)) {
                    return r;
                }
            }
        }
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
    const QString endpoint = QString("tcp:127.0.0.1:%1").arg(40000 + getpid() % 20000);
    korvel::testing::ChildProcess sim;
    sim.process.start(KORVEL_SIM, {"--listen", endpoint, "--seed", "7"});
    ASSERT_TRUE(sim.process.waitForReadyRead(10000)) << "korvel-sim did not start";
    std::string error;
    ASSERT_TRUE(
        x.Open("wine", {kBuild + "/app/KORVEL.exe", "--device", endpoint}, {}, kCaption, error))
        << error;

    // The Linux window's layout: its size, the frame of each button and edit
    // at its left and right edges (within a pixel), every text drawn; the
    // charts, the Smith panel and the logo at the Linux tests' pixels.
    ASSERT_TRUE(
        ShotUntil([](const QImage& s) { return s.pixel(413, 100) == qRgb(0, 50, 0); }, 60000))
        << "window not painted: " << Keep();
    EXPECT_EQ(window.size(), QSize(1235, 709));
    const auto edge = [&](int x0, int y) {
        return shot.pixel(x0 - 1, y) != shot.pixel(x0, y) ||
               shot.pixel(x0, y) != shot.pixel(x0 + 1, y);
    };
    const auto ink = [&](const QRect& area, QRgb base) {
        return Find(shot, area, [base](QRgb p) { return std::abs(qGray(p) - qGray(base)) > 40; })
            .count;
    };
    QRect submitScan;
    QRect saveView;
    for (const korvel::ControlTemplate& c : korvel::MainDialogControls()) {
        using K = korvel::ControlKind;
        const QRect r(korvel::DluToPixelsX(c.x), korvel::DluToPixelsY(c.y),
                      korvel::DluToPixelsX(c.width), korvel::DluToPixelsY(c.height));
        SCOPED_TRACE(::testing::Message() << c.text << " at " << r.x() << ", " << r.y());
        const bool button = c.kind == K::kButton || c.kind == K::kDefaultButton;
        if (button || c.kind == K::kEdit) {
            EXPECT_TRUE(edge(r.left(), r.center().y()) && edge(r.right(), r.center().y()));
        }
        if (button) {
            const QRect face = r.adjusted(3, 3, -3, -3);
            EXPECT_GT(ink(face, shot.pixel(face.topLeft())), 10);
        } else if (c.kind == K::kTextCentred || c.kind == K::kTextLeft) {
            EXPECT_GT(ink(r, shot.pixel(600, 704)), 4 * static_cast<int>(std::strlen(c.text)));
        }
        submitScan = c.id == korvel::kIdSubmitScan ? r : submitScan;
        saveView = c.id == korvel::kIdSaveView ? r : saveView;
    }
    EXPECT_EQ(shot.pixel(413, 660), qRgb(0, 50, 0));  // S21, below its plot
    EXPECT_EQ(shot.pixel(4, 100), qRgb(0, 0, 0));     // the Smith square's border
    EXPECT_TRUE(qBlue(shot.pixel(1108, 674)) > 90 && qRed(shot.pixel(1108, 674)) < 60);

    // A whole pass: the right end of the S21 plot, a flat line before, becomes a slope.
    ASSERT_TRUE(Click(submitScan.center()));
    const auto slope = [](const QImage& s) {
        const auto yellow = [](QRgb p) { return p == qRgb(255, 255, 0); };
        return Find(s, QRect(1140, 474, 13, 173), yellow).box.height() >= 3;
    };
    ASSERT_TRUE(ShotUntil(slope, 120000)) << "no whole pass drawn: " << Keep();

    // "About KORVEL..." in the system menu, its last entry (without a window
    // manager there is no title bar: Alt+Space opens the menu).
    ASSERT_TRUE(Click(QPoint(600, 704)));  // the background: the window active
    for (const char* key : {"alt+space", "Up", "Return"}) {
        ASSERT_TRUE(x.XDoTool({"key", key}));
        QThread::msleep(500);
    }
    ASSERT_FALSE(Shown("^About KORVEL$").isEmpty()) << "no About box: " << Keep();
    ASSERT_TRUE(x.XDoTool({"key", "Escape"}));

    // Save View through the Windows file dialog (nameless under Wine), the
    // name typed without its suffix; the BMP read back here.
    ASSERT_TRUE(Click(saveView.center()));
    ASSERT_FALSE(Shown("^$").isEmpty()) << "no file dialog";
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
    // missing glyph would leave another letter last, or an unbroken box.
    sim.End();
    const QRect box = Shown("^KORVEL$");
    ASSERT_FALSE(box.isEmpty()) << "no link-error box: " << x.ProgramOutput();
    QThread::msleep(1000);  // painted
    shot = x.Grab(box);
    const auto inked = [](QRgb p) { return qGray(p) < 200; };
    const QRect text = Find(shot, QRect(0, 0, shot.width(), shot.height() * 2 / 5), inked).box;
    int left = text.right();  // of the last glyph
    while (Find(shot, QRect(left - 1, text.top(), 1, text.height()), inked).count > 0) {
        --left;
    }
    QString rows;
    for (int y = text.top(); y <= text.bottom(); ++y) {
        rows += Find(shot, QRect(left, y, text.right() - left + 1, 1), inked).count ? '#' : '.';
    }
    EXPECT_LT(text.right() - left, 4) << Keep();
    EXPECT_TRUE(QRegularExpression("#\\.+#").match(rows).hasMatch()) << Keep();
}

TEST_F(UnderWine, InstallerInstallsRunsAndUninstallsWithNothingLeft) {
    const QString setup = kBuild + "/KORVEL-" KORVEL_VERSION "-win64.exe";
    ASSERT_TRUE(QFile::exists(setup)) << setup.toStdString();
    const QString prefix = qEnvironmentVariable("WINEPREFIX", QDir::homePath() + "/.wine");
    ASSERT_EQ(Wine({setup, "/S"}), 0);
    ASSERT_EQ(Wine({}), 0);
    const QString folder = prefix + "/drive_c/Program Files/KORVEL/";
    const QString menu =
        prefix + "/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/KORVEL";
    for (const QString& file : {folder + "korvel-sim.exe", folder + "korvel-bridge.exe",
                                folder + "platforms/qwindows.dll",
                                folder + "styles/qwindowsvistastyle.dll", menu + "/KORVEL.lnk"}) {
        EXPECT_TRUE(QFile::exists(file)) << file.toStdString();
    }
    const QString installed = "C:\\Program Files\\KORVEL\\";
    QByteArray out;
    EXPECT_EQ(Wine({installed + "KORVEL.exe", "--help"}, &out), 0);
    EXPECT_TRUE(out.contains("--device")) << out.toStdString();
    EXPECT_EQ(Wine({installed + "korvel-sweep.exe", "--device", "sim", "--passes", "1"}, &out), 0);
    EXPECT_TRUE(out.contains("\n3,")) << out.toStdString();

    ASSERT_EQ(Wine({installed + "Uninstall.exe", "/S"}), 0);
    ASSERT_EQ(Wine({}), 0);  // the uninstaller goes on after its start has returned
    // Nothing left: the installer writes only there and to the machine's registry.
    EXPECT_FALSE(QFile::exists(folder) || QFile::exists(menu));
    QFile registry(prefix + "/system.reg");
    ASSERT_TRUE(registry.open(QIODevice::ReadOnly));
    EXPECT_FALSE(registry.readAll().contains("KORVEL"));
}

}  // namespace
