// The 100 ms refresh repaints only what would look different: an idle tick
// paints nothing, a changed sample, colour, value or link state repaints just
// the widget that shows it.
#include <QCoreApplication>
#include <QEvent>
#include <QScreen>
#include <map>
#include <string>
#include <thread>

#include "dialog_fixture.h"
#include "progress_lines.h"
#include "worker_window_bridge.h"

namespace korvel::testing {
namespace {

// Counts the paint events each watched widget receives.
class PaintCounter : public QObject {
  public:
    void Watch(QWidget* w) {
        w->installEventFilter(this);
        counts_[w] = 0;
    }
    int Of(QWidget* w) const { return counts_.at(w); }
    int Total() const {
        int total = 0;
        for (const auto& [w, n] : counts_) {
            total += n;
        }
        return total;
    }
    void Reset() {
        for (auto& [w, n] : counts_) {
            n = 0;
        }
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (const auto it = counts_.find(watched); it != counts_.end()) {
                ++it->second;
            }
        }
        return false;
    }

  private:
    std::map<QObject*, int> counts_;
};

class RefreshPaintTest : public DialogTest {
  protected:
    void SetUp() override {
        Open();
        for (QWidget* w : Watched()) {
            paints.Watch(w);
        }
        Settle();
        paints.Reset();
    }
    std::array<QWidget*, 6> Watched() {
        return {&dialog->m_chartVswr1, &dialog->m_chartVswr2, &dialog->m_chartVswr3,
                &dialog->m_chartS21,   &dialog->m_meter,      &dialog->m_led};
    }
    // Delivers every repaint asked for so far.
    static void Settle() {
        for (int i = 0; i < 4; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            dialog->OnTimer();
            Settle();
        }
    }
    // Only `w` was painted since the last reset (and at least once).
    void ExpectOnly(QWidget* w) {
        EXPECT_GE(paints.Of(w), 1);
        EXPECT_EQ(paints.Total(), paints.Of(w)) << Painted();
    }

    // Which watched widgets were painted, for failure messages.
    std::string Painted() {
        const char* names[] = {"VSWR1", "VSWR2", "VSWR3", "S21", "meter", "lamp"};
        std::string list;
        for (std::size_t i = 0; i < Watched().size(); ++i) {
            if (paints.Of(Watched()[i]) > 0) {
                list += std::string(" ") + names[i];
            }
        }
        return "painted:" + list;
    }

    PaintCounter paints;
};

TEST_F(RefreshPaintTest, IdleTicksPaintNothing) {
    Tick();  // the first tick may still find a picture to draw
    Settle();
    paints.Reset();
    Tick(12);
    EXPECT_EQ(paints.Total(), 0);
}

TEST_F(RefreshPaintTest, ChangedSampleRepaintsOnlyItsChartOnce) {
    Tick();
    paints.Reset();
    state.vswr2Points[17].store(2.5);
    Tick(3);
    ExpectOnly(&dialog->m_chartVswr2);
    EXPECT_EQ(paints.Of(&dialog->m_chartVswr2), 1);
    // The S21 chart laps over the VSWR3 chart's foot: that chart too draws
    // its new picture once, instead of showing the old one on every tick.
    state.vswr3Points[0].store(4.0);
    paints.Reset();
    Tick(3);
    ExpectOnly(&dialog->m_chartVswr3);
    EXPECT_EQ(paints.Of(&dialog->m_chartVswr3), 1);
    state.s21Points[199].store(-12.0);
    paints.Reset();
    Tick();
    ExpectOnly(&dialog->m_chartS21);
}

TEST_F(RefreshPaintTest, FieldsWrittenOutsideTheTickStillRepaint) {
    Tick();
    paints.Reset();
    // A colour choice writes the field and leaves the repaint to the tick.
    dialog->m_chartVswr3.m_curveColor[0] = RGB(10, 20, 30);
    Tick();
    ExpectOnly(&dialog->m_chartVswr3);
    // The cursor leaving the charts takes effect on the next tick too.
    dialog->m_chartVswr1.m_cursorIndex = 5;
    paints.Reset();
    Tick();
    ExpectOnly(&dialog->m_chartVswr1);
    // A look kept outside the fields announces itself.
    paints.Reset();
    dialog->m_chartS21.MarkChanged();
    Settle();
    ExpectOnly(&dialog->m_chartS21);
    paints.Reset();
    Tick(2);
    EXPECT_EQ(paints.Total(), 0) << Painted();
}

TEST_F(RefreshPaintTest, NewPowerRepaintsOnlyTheMeter) {
    Tick();
    paints.Reset();
    state.rfPowerDbm.store(-31.5);
    Tick(2);
    ExpectOnly(&dialog->m_meter);
    EXPECT_EQ(paints.Of(&dialog->m_meter), 1);
}

TEST_F(RefreshPaintTest, LampFlashesEverySixthTickWhileTheLinkIsUp) {
    Tick(6);
    EXPECT_EQ(paints.Total(), 0);  // link down: the lamp stays dark
    state.linkUp.store(1);
    paints.Reset();
    Tick(6);
    ExpectOnly(&dialog->m_led);
    EXPECT_EQ(dialog->m_led.m_state, CLed::kLit);
    EXPECT_NE(dialog->m_led.FlashTimerId(), 0);  // and goes out again
}

TEST_F(RefreshPaintTest, BurstsOfProgressEndShowingTheirLastPoint) {
    // The strips are refreshed at a bounded rate: points that come faster are
    // shown together, and the last of a burst is never left out.
    const auto burst = [this](int from, int to) {
        std::thread worker([&] {
            for (int i = from; i <= to; ++i) {
                dialog->Bridge().DrawProgressLine(kProgressY[1], ProgressLineEnd(i));
            }
        });
        worker.join();
    };
    const auto redAt = [this](int x) {
        // What the screen shows (a grab would paint the strip afresh).
        const QImage shown = dialog->screen()->grabWindow(dialog->winId()).toImage();
        return shown.pixelColor(x, kProgressY[1]) == QColor(255, 0, 0);
    };
    burst(0, 60);
    EXPECT_TRUE(WaitUntil([&] { return redAt(ProgressLineEnd(60)); }));
    burst(61, 62);
    EXPECT_TRUE(WaitUntil([&] { return redAt(ProgressLineEnd(62)); }));
    EXPECT_FALSE(redAt(ProgressLineEnd(62) + 1));
}

}  // namespace
}  // namespace korvel::testing
