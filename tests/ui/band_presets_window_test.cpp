// Band presets in the window: the texts the edits take, and the menus that
// fill a range's edits.
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QTest>

#include "band_preset_menus.h"
#include "dialog_fixture.h"
#include "dialog_template.h"
#include "field_rules.h"
#include "frequency_plan.h"
#include "menu_walk.h"

namespace korvel::testing {
namespace {

TEST(BandPresetTexts, EveryPresetPassesTheRangeEditsRulesAndShowsAsWritten) {
    for (const BandPreset& preset : BandPresets()) {
        SCOPED_TRACE(std::string(preset.name));
        const QString startText = BandPresetEditText(preset.startKHz);
        const QString stopText = BandPresetEditText(preset.stopKHz);
        const auto start = ReadRangeMHz(startText.toStdString());
        const auto stop = ReadRangeMHz(stopText.toStdString());
        ASSERT_TRUE(start.Accepted()) << startText.toStdString();
        ASSERT_TRUE(stop.Accepted()) << stopText.toStdString();
        // Loading the stored value back into the edit gives the same text.
        EXPECT_EQ(ShowRangeMHz(start.value), startText.toStdString());
        EXPECT_EQ(ShowRangeMHz(stop.value), stopText.toStdString());
        // The sweep those values plan covers the whole band.
        const FrequencyPlan plan = ComputeFrequencyPlan(start.value, stop.value);
        EXPECT_LE(plan.startHz, preset.bandLowKHz * 1000u);
        EXPECT_GE(plan.startHz + uint64_t{plan.stepHz} * kPlanPoints,
                  uint64_t{preset.bandHighKHz} * 1000u);
    }
    EXPECT_EQ(BandPresetEditText(10097), QString("10.097"));
    EXPECT_EQ(BandPresetEditText(49800), QString("49.8"));
    EXPECT_EQ(BandPresetEditText(2010), QString("2.01"));
}

class BandPresetMenuTest : public DialogTest {
  protected:
    // Opens an edit's context menu as the menu key does.
    void OpenEditMenu(int id) {
        QLineEdit* edit = Edit(id);
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                edit->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(edit, &event);
    }
    void OpenWindowMenu() {
        const QPoint background(5, 700);
        QContextMenuEvent event(QContextMenuEvent::Mouse, background,
                                dialog->mapToGlobal(background));
        QCoreApplication::sendEvent(dialog.get(), &event);
    }
    QStringList Texts() {
        QStringList texts;
        for (int id : {kIdVswr1Start, kIdVswr1Stop, kIdVswr2Start, kIdVswr2Stop, kIdVswr3Start,
                       kIdVswr3Stop}) {
            texts << Edit(id)->text();
        }
        return texts;
    }
};

TEST_F(BandPresetMenuTest, AnEditsMenuKeepsItsStandardEntriesAndFillsOnlyItsOwnRange) {
    Open();
    MenuWalk walk;
    WalkNextMenu(walk, {"Band Presets", "20 m"});
    OpenEditMenu(kIdVswr2Stop);
    ASSERT_TRUE(WaitUntil([&] { return walk.finished || walk.failed; }));
    ASSERT_FALSE(walk.failed) << walk.seen.join(", ").toStdString();
    EXPECT_EQ(Texts(), QStringList({"6.1", "7.9", "13.982", "14.368", "20.1", "21.9"}));
    // Typed values, not yet submitted: nothing scans, the members stay.
    EXPECT_EQ(state.scanRequest.load(), 0);
    EXPECT_FLOAT_EQ(dialog->m_vswr2StartMHz.load(), 13.1f);

    // The start edit of the first range, with the edit's own entries kept.
    MenuWalk first;
    WalkNextMenu(first, {"Band Presets", "160 m"});
    OpenEditMenu(kIdVswr1Start);
    ASSERT_TRUE(WaitUntil([&] { return first.finished || first.failed; }));
    ASSERT_FALSE(first.failed);
    EXPECT_EQ(Texts(), QStringList({"1.79", "2.01", "13.982", "14.368", "20.1", "21.9"}));

    MenuWalk standard;
    WalkNextMenu(standard, {"Select All"});
    OpenEditMenu(kIdVswr3Start);
    ASSERT_TRUE(WaitUntil([&] { return standard.finished || standard.failed; }));
    EXPECT_TRUE(standard.seen.contains("Copy"));
    EXPECT_TRUE(standard.seen.contains("Paste"));
    EXPECT_EQ(Edit(kIdVswr3Start)->selectedText(), QString("20.1"));
}

TEST_F(BandPresetMenuTest, TheWindowMenuHasABandMenuPerRangeAndSubmitMakesItTakeEffect) {
    Open();
    MenuWalk walk;
    WalkNextMenu(walk, {"Band Presets", "Range 3", "6 m"});
    OpenWindowMenu();
    ASSERT_TRUE(WaitUntil([&] { return walk.finished || walk.failed; }));
    ASSERT_FALSE(walk.failed) << walk.seen.join(", ").toStdString();
    EXPECT_EQ(walk.seen.size(), 11);
    EXPECT_EQ(Texts(), QStringList({"6.1", "7.9", "13.1", "14.9", "49.8", "54.2"}));
    EXPECT_EQ(state.scanRequest.load(), 0);

    MenuWalk second;
    WalkNextMenu(second, {"Band Presets", "Range 1", "40 m"});
    OpenWindowMenu();
    ASSERT_TRUE(WaitUntil([&] { return second.finished || second.failed; }));
    ASSERT_FALSE(second.failed);
    EXPECT_EQ(Texts(), QStringList({"6.985", "7.315", "13.1", "14.9", "49.8", "54.2"}));

    dialog->OnSubmitScan();
    EXPECT_EQ(state.scanRequest.load(), 1);
    EXPECT_FLOAT_EQ(dialog->m_vswr3StartMHz.load(), 49.8f);
    EXPECT_NEAR(dialog->m_chartVswr3.m_startFreqHz, 49800000.0, 4.0);  // a float's MHz
    EXPECT_EQ(dialog->m_chartS21.m_stepHz, 22000u);                    // 4.4 MHz over 200 steps
    EXPECT_NEAR(dialog->m_chartVswr1.m_startFreqHz, 6985000.0, 1.0);
}

TEST_F(BandPresetMenuTest, ShiftF10OpensAnEditsMenuAndTheKeysChooseTheBand) {
    Open();
    MenuWalk walk;
    WalkNextMenu(walk, {"Band Presets", "10 m"});
    QTest::keyClick(Edit(kIdVswr1Stop), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(WaitUntil([&] { return walk.finished || walk.failed; }));
    ASSERT_FALSE(walk.failed);
    EXPECT_EQ(Texts(), QStringList({"27.915", "29.785", "13.1", "14.9", "20.1", "21.9"}));
    // F10 alone and other keys still reach the edit.
    QTest::keyClick(Edit(kIdVswr1Stop), Qt::Key_F10);
    QTest::keyClick(Edit(kIdVswr1Stop), Qt::Key_5);
    EXPECT_EQ(Edit(kIdVswr1Stop)->text(), QString("29.7855"));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

}  // namespace
}  // namespace korvel::testing
