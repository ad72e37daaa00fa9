// The main window as it opens: layout, start-up values, plans, keys, refresh.
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "dialog_fixture.h"
#include "dialog_template.h"

namespace korvel::testing {
namespace {

using StartupTest = DialogTest;

TEST_F(StartupTest, FixedSizeWindowWithCaption) {
    Open();
    EXPECT_EQ(dialog->windowTitle(), QString("TALMER HF Antenna Analyzer V1.3 for KDX7720C"));
    EXPECT_EQ(dialog->size(), QSize(1235, 709));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(StartupTest, ControlsStandWhereTheLayoutPutsThem) {
    Open();
    EXPECT_EQ(dialog->m_chartVswr1.geometry(), QRect(411, 24, 813, 128));
    EXPECT_EQ(dialog->m_chartVswr2.geometry(), QRect(411, 174, 813, 128));
    EXPECT_EQ(dialog->m_chartVswr3.geometry(), QRect(411, 327, 813, 128));
    EXPECT_EQ(dialog->m_chartS21.geometry(), QRect(411, 453, 813, 213));
    EXPECT_EQ(dialog->m_meter.geometry(), QRect(87, 421, 324, 286));
    EXPECT_EQ(dialog->m_led.geometry(), QRect(30, 1, 25, 25));
    EXPECT_EQ(dialog->Control(kIdLamp), &dialog->m_led);
    EXPECT_TRUE(dialog->m_led.isVisible());
    EXPECT_EQ(dialog->Control(kIdSubmitSmith)->geometry(), QRect(11, 388, 81, 24));
    EXPECT_EQ(dialog->Control(kIdSmithFreq)->geometry(), QRect(161, 3, 47, 20));

    bool logoFound = false;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            logoFound = true;
            EXPECT_EQ(label->geometry(), QRect(1107, 673, 117, 25));
        }
    }
    EXPECT_TRUE(logoFound);
}

TEST_F(StartupTest, TabOrderFollowsTheLayout) {
    Open();
    // From the Smith-frequency edit, Tab visits the range edits in layout order.
    QWidget* w = dialog->Control(kIdSubmitSmith);
    const int expected[] = {kIdSmithFreq,  kIdVswr1Start, kIdVswr1Stop,
                            kIdVswr2Start, kIdVswr2Stop,  kIdVswr3Start,
                            kIdVswr3Stop,  kIdSubmitScan, kIdEnableVswr1};
    for (int id : expected) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !w->isEnabled()) {
            w = w->nextInFocusChain();
        }
        EXPECT_EQ(w, dialog->Control(id)) << id;
    }
}

TEST_F(StartupTest, ButtonsTextsAndDisabledCalibration) {
    Open();
    auto* submit = qobject_cast<QPushButton*>(dialog->Control(kIdSubmitSmith));
    ASSERT_NE(submit, nullptr);
    EXPECT_TRUE(submit->isDefault());
    EXPECT_EQ(submit->text(), QString("Submit Smith"));
    EXPECT_FALSE(dialog->Control(kIdZoCalibration)->isEnabled());
    EXPECT_FALSE(dialog->Control(kIdPinCalibration)->isEnabled());
    bool captionFound = false;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->text() == "Dangerous OP") {
            captionFound = true;
            EXPECT_FALSE(label->isEnabled());
        }
    }
    EXPECT_TRUE(captionFound);
    EXPECT_TRUE(dialog->Control(kIdSaveView)->isEnabled());
}

TEST_F(StartupTest, CalibrationOptInEnablesBothButtons) {
    DialogOptions options;
    options.enableCalibration = true;
    Open(std::move(options));
    EXPECT_TRUE(dialog->Control(kIdZoCalibration)->isEnabled());
    EXPECT_TRUE(dialog->Control(kIdPinCalibration)->isEnabled());
}

TEST_F(StartupTest, EditsShowTheConstructionValues) {
    Open();
    EXPECT_EQ(Edit(kIdSmithFreq)->text(), QString("14270"));
    EXPECT_EQ(Edit(kIdVswr1Start)->text(), QString("6.1"));
    EXPECT_EQ(Edit(kIdVswr1Stop)->text(), QString("7.9"));
    EXPECT_EQ(Edit(kIdVswr2Start)->text(), QString("13.1"));
    EXPECT_EQ(Edit(kIdVswr2Stop)->text(), QString("14.9"));
    EXPECT_EQ(Edit(kIdVswr3Start)->text(), QString("20.1"));
    EXPECT_EQ(Edit(kIdVswr3Stop)->text(), QString("21.9"));
    EXPECT_EQ(Edit(kIdCableLength)->text(), QString("0"));
    for (int id : {kIdEnableVswr1, kIdEnableVswr2, kIdEnableVswr3}) {
        EXPECT_TRUE(qobject_cast<QCheckBox*>(dialog->Control(id))->isChecked());
    }
}

TEST_F(StartupTest, ChartsMeterAndLampAreConfigured) {
    Open();
    const CDisLine* charts[] = {&dialog->m_chartVswr1, &dialog->m_chartVswr2, &dialog->m_chartVswr3,
                                &dialog->m_chartS21};
    const PointArray* data[] = {&state.vswr1Points, &state.vswr2Points, &state.vswr3Points,
                                &state.s21Points};
    const char* names[] = {"VSWR1", "VSWR2", "VSWR3", "S21"};
    const uint32_t starts[] = {6100000, 13100000, 20100000, 20100000};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(charts[i]->m_curveName[0], QString(names[i]));
        EXPECT_EQ(charts[i]->m_curveData[0], data[i]->data());
        EXPECT_EQ(charts[i]->m_curveCount[0], 200u);
        EXPECT_EQ(charts[i]->m_curveShown[0], 1);
        EXPECT_EQ(charts[i]->m_curveColor[0], RGB(255, 255, 0));
        EXPECT_EQ(charts[i]->m_curveMarkMin[0], i < 3 ? 1 : 0);
        EXPECT_EQ(charts[i]->m_startFreqHz, starts[i]);
        EXPECT_EQ(charts[i]->m_stepHz, 9000u);
        EXPECT_EQ(charts[i]->m_swrScale, i < 3 ? 1 : 0);
        EXPECT_EQ(charts[i]->m_yUnit, QString(i < 3 ? "(SWR)" : "(dB)"));
        EXPECT_EQ(charts[i]->m_xUnit, QString("(Hz)"));
    }
    EXPECT_EQ(dialog->m_meter.m_value, 0.0);
    EXPECT_EQ(dialog->m_meter.ValueDecimals(), 1);
    EXPECT_TRUE(dialog->m_meter.ZonesShown());
    EXPECT_EQ(dialog->m_led.m_state, 1);
    EXPECT_EQ(dialog->m_led.m_color, 0);
    EXPECT_EQ(dialog->m_led.m_shape, 0);
}

TEST_F(StartupTest, EnterSubmitsSmithAndDoesNotClose) {
    Open();
    Edit(kIdSmithFreq)->setText("15000");
    Edit(kIdSmithFreq)->setFocus();
    QTest::keyClick(Edit(kIdSmithFreq), Qt::Key_Return);
    EXPECT_TRUE(WaitUntil([&] { return dialog->m_sweep.m_smithFreqKHz.load() == 15000u; }));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), 0);
}

TEST_F(StartupTest, EscapeCloses) {
    Open();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(StartupTest, LampFlashesOnEverySixthTickOnlyWhileLinkIsUp) {
    Open();
    state.linkUp = 0;
    for (int tick = 1; tick <= 6; ++tick) {
        dialog->OnTimer();
        EXPECT_EQ(dialog->m_led.m_state, 1) << tick;
    }
    EXPECT_EQ(dialog->TickCount(), 0);
    state.linkUp = 1;
    for (int tick = 7; tick <= 18; ++tick) {
        dialog->OnTimer();
        const bool flashTick = tick == 12 || tick == 18;
        EXPECT_EQ(dialog->m_led.m_state, flashTick ? 0 : 1) << tick;
        if (flashTick) {
            dialog->m_led.m_state = 1;  // as the lamp's own timer would
        }
    }
}

TEST_F(StartupTest, TickCopiesInputPowerIntoTheMeter) {
    Open();
    state.rfPowerDbm = -23.5;
    dialog->OnTimer();
    EXPECT_EQ(dialog->m_meter.m_value, -23.5);
    EXPECT_EQ(dialog->TickCount(), 1);
}

}  // namespace
}  // namespace korvel::testing
