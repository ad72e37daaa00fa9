// Submitting the settings: what is stored, what is refused, and how.
#include <QCheckBox>

#include "dialog_fixture.h"
#include "dialog_template.h"

namespace korvel::testing {
namespace {

class ExchangeTest : public DialogTest {
  protected:
    // Runs the save direction, answering the refusal box if one opens.
    bool Save(SeenBox& box) {
        QPointer<QTimer> pending = PressOnNextBox(box, QMessageBox::Ok);
        const bool ok = dialog->UpdateData(true);
        delete pending.data();  // no box came: withdraw the answer
        return ok;
    }
    void ExpectRefusedFocus(int id) {
        EXPECT_EQ(dialog->focusWidget(), Edit(id));
        EXPECT_EQ(Edit(id)->selectedText(), Edit(id)->text());
    }
};

TEST_F(ExchangeTest, AcceptedValuesReachTheMembers) {
    Open();
    Edit(kIdSmithFreq)->setText(" 7100 ");
    Edit(kIdVswr1Start)->setText("3.5");
    Edit(kIdVswr1Stop)->setText("4");
    Edit(kIdCableLength)->setText("12.25");
    qobject_cast<QCheckBox*>(dialog->Control(kIdEnableVswr2))->setChecked(false);
    SeenBox box;
    EXPECT_TRUE(Save(box));
    EXPECT_FALSE(box.seen);
    EXPECT_EQ(dialog->m_sweep.m_smithFreqKHz.load(), 7100u);
    EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr1StartMHz.load(), 3.5f);
    EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr1StopMHz.load(), 4.0f);
    EXPECT_EQ(dialog->m_sweep.m_enableVswr2.load(), 0);
    EXPECT_EQ(dialog->m_sweep.m_enableVswr1.load(), 1);
    EXPECT_EQ(dialog->m_sweep.m_cableLengthM.load(), 12.25);
}

TEST_F(ExchangeTest, SmithAboveRangeIsStoredAndRefused) {
    Open();
    Edit(kIdSmithFreq)->setText("50001");
    Edit(kIdVswr1Start)->setText("2");
    SeenBox box;
    EXPECT_FALSE(Save(box));
    EXPECT_EQ(box.text, QString("Enter an integer between 1000 and 50000."));
    EXPECT_EQ(box.title, QString("korvel"));
    EXPECT_EQ(dialog->m_sweep.m_smithFreqKHz.load(), 50001u);
    EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr1StartMHz.load(), 6.1f);  // after the refusal: untouched
    ExpectRefusedFocus(kIdSmithFreq);
}

TEST_F(ExchangeTest, NegativeSmithIsBadTextAndLeavesTheMember) {
    Open();
    Edit(kIdSmithFreq)->setText("-5");
    SeenBox box;
    EXPECT_FALSE(Save(box));
    EXPECT_EQ(box.text, QString("Enter a positive integer."));
    EXPECT_EQ(dialog->m_sweep.m_smithFreqKHz.load(), 14270u);
    ExpectRefusedFocus(kIdSmithFreq);
}

TEST_F(ExchangeTest, BadRangeTextKeepsItAndLaterMembers) {
    Open();
    Edit(kIdSmithFreq)->setText("10000");
    Edit(kIdVswr1Start)->setText("2");
    Edit(kIdVswr1Stop)->setText("abc");
    Edit(kIdVswr2Start)->setText("3");
    Edit(kIdCableLength)->setText("5");
    qobject_cast<QCheckBox*>(dialog->Control(kIdEnableVswr1))->setChecked(false);
    SeenBox box;
    EXPECT_FALSE(Save(box));
    EXPECT_EQ(box.text, QString("Enter a number."));
    EXPECT_EQ(dialog->m_sweep.m_smithFreqKHz.load(), 10000u);        // before: new
    EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr1StartMHz.load(), 2.0f);   // before: new
    EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr1StopMHz.load(), 7.9f);    // refused: old
    EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr2StartMHz.load(), 13.1f);  // after: old
    EXPECT_EQ(dialog->m_sweep.m_enableVswr1.load(), 1);
    EXPECT_EQ(dialog->m_sweep.m_cableLengthM.load(), 0.0);
    ExpectRefusedFocus(kIdVswr1Stop);
}

TEST_F(ExchangeTest, RangeOutsideOneToSixtyIsStoredAndRefused) {
    Open();
    Edit(kIdVswr3Stop)->setText("61");
    SeenBox box;
    EXPECT_FALSE(Save(box));
    EXPECT_EQ(box.text, QString("Enter a number between 1 and 60."));
    EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr3StopMHz.load(), 61.0f);
    ExpectRefusedFocus(kIdVswr3Stop);
}

TEST_F(ExchangeTest, NonFiniteTextIsRefusedAsNoNumber) {
    Open();
    for (const char* text : {"nan", "inf", "-inf", "1e39"}) {
        Edit(kIdVswr2Stop)->setText(text);
        SeenBox box;
        EXPECT_FALSE(Save(box)) << text;
        EXPECT_EQ(box.text, QString("Enter a number.")) << text;
        EXPECT_FLOAT_EQ(dialog->m_sweep.m_vswr2StopMHz.load(), 14.9f) << text;
    }
}

TEST_F(ExchangeTest, CableLengthBounds) {
    Open();
    Edit(kIdCableLength)->setText("1000");
    SeenBox accepted;
    EXPECT_TRUE(Save(accepted));
    EXPECT_EQ(dialog->m_sweep.m_cableLengthM.load(), 1000.0);

    Edit(kIdCableLength)->setText("1000.5");
    SeenBox refused;
    EXPECT_FALSE(Save(refused));
    EXPECT_EQ(refused.text, QString("Enter a number between 0 and 1000."));
    EXPECT_EQ(dialog->m_sweep.m_cableLengthM.load(), 1000.5);
    ExpectRefusedFocus(kIdCableLength);
    // The checkboxes before the cable edit were saved.
    EXPECT_EQ(dialog->m_sweep.m_enableVswr3.load(), 1);
}

TEST_F(ExchangeTest, EmptyEditIsRefused) {
    Open();
    Edit(kIdCableLength)->clear();
    SeenBox box;
    EXPECT_FALSE(Save(box));
    EXPECT_EQ(box.text, QString("Enter a number."));
}

}  // namespace
}  // namespace korvel::testing
