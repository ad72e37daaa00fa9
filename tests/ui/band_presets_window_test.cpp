// Band presets in the window: the texts the edits take, and the menus that
// fill one range's edits, by mouse or keyboard.
#include <QTest>

#include "band_preset_menus.h"
#include "dialog_fixture.h"
#include "dialog_template.h"
#include "field_rules.h"
#include "frequency_plan.h"
#include "menu_walk.h"

namespace korvel::testing {
namespace {

TEST(BandPresetTexts, PassTheRangeEditsRulesShowAsWrittenAndSweepTheWholeBand) {
    for (const BandPreset& preset : BandPresets()) {
        const auto start = ReadRangeMHz(BandPresetEditText(preset.startKHz).toStdString());
        const auto stop = ReadRangeMHz(BandPresetEditText(preset.stopKHz).toStdString());
        ASSERT_TRUE(start.Accepted() && stop.Accepted()) << preset.name;
        EXPECT_EQ(QString::fromStdString(ShowRangeMHz(start.value)),
                  BandPresetEditText(preset.startKHz));
        const FrequencyPlan plan = ComputeFrequencyPlan(start.value, stop.value);
        EXPECT_LE(plan.startHz, preset.bandLowKHz * 1000u) << preset.name;
        EXPECT_GE(plan.startHz + plan.stepHz * kSweepPoints, preset.bandHighKHz * 1000u);
    }
}

class BandPresetMenuTest : public DialogTest {
  protected:
    // Chooses in the menu of the edit, or of the window's background.
    void Choose(QWidget* edit, const QStringList& path) {
        walk = ChooseFromContextMenu(edit ? *edit : *dialog, QPoint(5, edit ? 5 : 700), path);
        ASSERT_TRUE(walk.finished) << walk.seen.join(", ").toStdString();
    }
    QStringList Texts() {
        QStringList texts;
        for (int id : {kIdVswr1Start, kIdVswr1Stop, kIdVswr2Start, kIdVswr2Stop, kIdVswr3Start,
                       kIdVswr3Stop}) {
            texts << Edit(id)->text();
        }
        return texts;
    }
    MenuWalk walk;
};

TEST_F(BandPresetMenuTest, AnEditsMenuKeepsItsEntriesAndFillsItsOwnRangeWithoutScanning) {
    Open();
    Choose(Edit(kIdVswr2Stop), {"Band Presets", "20 m"});
    EXPECT_EQ(Texts(), QStringList({"6.1", "7.9", "13.982", "14.368", "20.1", "21.9"}));
    EXPECT_EQ(state.scanRequest.load(), 0);
    EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr2StartMHz.load(), 13.1f);  // typed, not yet submitted

    Choose(Edit(kIdVswr3Start), {"Select All"});
    EXPECT_TRUE(walk.seen.contains("Paste"));
    EXPECT_EQ(Edit(kIdVswr3Start)->selectedText(), QString("20.1"));

    // Shift+F10 opens the same menu; F10 alone and other keys reach the edit.
    WalkNextMenu(walk, {"Band Presets", "10 m"});
    Edit(kIdVswr1Stop)->setFocus();
    QTest::keyClick(Edit(kIdVswr1Stop), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(WaitUntil([&] { return walk.finished || walk.failed; }));
    EXPECT_EQ(Texts(), QStringList({"27.915", "29.785", "13.982", "14.368", "20.1", "21.9"}));
    QTest::keyClick(Edit(kIdVswr1Stop), Qt::Key_F10);
    QTest::keyClick(Edit(kIdVswr1Stop), Qt::Key_5);
    EXPECT_EQ(Edit(kIdVswr1Stop)->text(), QString("29.7855"));
}

TEST_F(BandPresetMenuTest, TheWindowMenuHasTheBandsPerRangeAndSubmitAppliesThem) {
    Open();
    Choose(nullptr, {"Tools", "Band Presets", "Range 3", "6 m"});
    EXPECT_EQ(walk.seen.size(), 11);
    Choose(nullptr, {"Tools", "Band Presets", "Range 1", "40 m"});
    EXPECT_EQ(Texts(), QStringList({"6.985", "7.315", "13.1", "14.9", "49.8", "54.2"}));
    EXPECT_EQ(state.scanRequest.load(), 0);
    dialog->OnSubmitScan();
    EXPECT_EQ(state.scanRequest.load(), 1);
    EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr3StartMHz.load(), 49.8f);
    EXPECT_EQ(dialog->m_chartS21.m_stepHz, 22000u);  // 4.4 MHz over 200 steps
}

}  // namespace
}  // namespace korvel::testing
