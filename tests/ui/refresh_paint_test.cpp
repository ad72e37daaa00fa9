// The refresh tick repaints only what would look different.
#include <QScreen>
#include <map>
#include <thread>

#include "dialog_fixture.h"
#include "progress_lines.h"
#include "worker_window_bridge.h"

namespace korvel::testing {
namespace {

class RefreshPaintTest : public DialogTest, public QObject {
  protected:
    void SetUp() override {
        Open();
        for (QWidget* w : {(QWidget*)&dialog->m_chartVswr1, (QWidget*)&dialog->m_chartVswr2,
                           (QWidget*)&dialog->m_chartVswr3, (QWidget*)&dialog->m_chartS21,
                           (QWidget*)&dialog->m_meter, (QWidget*)&dialog->m_led}) {
            w->installEventFilter(this);
        }
        Tick();  // the first pictures
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        paints[watched] += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    // Runs `count` ticks with their paints; what was painted, and how often.
    std::map<QObject*, int> Tick(int count = 1) {
        paints.clear();
        for (int i = 0; i < count; ++i) {
            dialog->OnTimer();
            for (int k = 0; k < 3; ++k) {
                QCoreApplication::processEvents();
            }
        }
        std::erase_if(paints, [](const auto& p) { return p.second == 0; });
        return paints;
    }
    using Paints = std::map<QObject*, int>;
    Paints paints;
};

TEST_F(RefreshPaintTest, OnlyTheWidgetThatChangedRepaintsOnce) {
    EXPECT_EQ(Tick(12), Paints());
    state.vswr2Points[17].store(2.5);
    EXPECT_EQ(Tick(3), (Paints{{&dialog->m_chartVswr2, 1}}));
    // The S21 chart laps over the VSWR3 chart's foot: that one draws too.
    state.vswr3Points[0].store(4.0);
    EXPECT_EQ(Tick(3), (Paints{{&dialog->m_chartVswr3, 1}}));
    state.rfPowerDbm.store(-31.5);
    EXPECT_EQ(Tick(3), (Paints{{&dialog->m_meter, 1}}));
    // Fields written outside the tick (a colour choice) show on the next one.
    dialog->m_chartS21.m_curveColor[0] = RGB(10, 20, 30);
    EXPECT_EQ(Tick(3), (Paints{{&dialog->m_chartS21, 1}}));
    dialog->m_chartVswr1.MarkChanged();
    EXPECT_EQ(Tick(3), (Paints{{&dialog->m_chartVswr1, 1}}));
    // The lamp flashes on every sixth tick while the link is up.
    state.linkUp.store(1);
    EXPECT_EQ(Tick(6), (Paints{{&dialog->m_led, 1}}));
    EXPECT_EQ(dialog->m_led.m_state, CLed::kLit);
}

TEST_F(RefreshPaintTest, ProgressBurstsEndShowingTheirLastPoint) {
    const auto burst = [this](int from, int to) {
        std::thread([&] {
            for (int i = from; i <= to; ++i) {
                dialog->Bridge().ScanProgress(2, i);
            }
        }).join();
    };
    const auto shownRed = [this](int x) {  // on the screen: a grab would paint afresh
        const QImage shown = dialog->screen()->grabWindow(dialog->winId()).toImage();
        return shown.pixelColor(x, kProgressY[1]) == QColor(255, 0, 0);
    };
    burst(0, 60);
    Tick();
    EXPECT_TRUE(WaitUntil([&] { return shownRed(ProgressLineEnd(60)); }));
    burst(61, 62);
    Tick();
    EXPECT_TRUE(WaitUntil([&] { return shownRed(ProgressLineEnd(62)); }));
    EXPECT_FALSE(shownRed(ProgressLineEnd(62) + 1));
}

}  // namespace
}  // namespace korvel::testing
