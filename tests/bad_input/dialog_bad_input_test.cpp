// Every edit of the main window fed with text a user might type by mistake
// (or paste): each is refused with its message, or accepted, exactly as the
// window's rules say; a refused entry keeps the focus with its text selected;
// stored values are the typed ones; and the window still paints afterwards.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "core/measurement_state.h"
#include "dialog_template.h"
#include "korvel_dlg.h"
#include "modal_answers.h"
#include "no_instrument_transport.h"
#include "stop_bound_clocks.h"

namespace korvel::testing {
namespace {

const std::string kTenThousandDigits(10000, '9');

// The texts every edit is fed with.
const char* const kBadTexts[] = {
    "",      "   ",    "\t",  "-5",  "+5",   "abc",    "7x",
    "1e308", "-1e308", "nan", "inf", "0x10", "１２３", "14270Ω",
};

enum class Field { SmithKHz, RangeMHz, CableM };

// What the window must do with one text in one kind of edit.
struct Outcome {
    std::optional<std::string> message;  // none: accepted
    bool stores = false;                 // the member takes the value
    double value = 0.0;                  // the value it takes
};

Outcome Refused(const char* message) {
    return {message, false, 0.0};
}
Outcome OutOfRange(const char* message, double value) {
    return {message, true, value};
}

Outcome Expected(Field field, const std::string& text) {
    switch (field) {
        case Field::SmithKHz:
            if (text == "+5") {
                return OutOfRange("Enter an integer between 1000 and 50000.", 5);
            }
            // Signs, letters, exponents, hex, other scripts and numbers
            // beyond 32 bits are not unsigned integers.
            return Refused("Enter a positive integer.");
        case Field::RangeMHz:
            if (text == "+5") {
                return {std::nullopt, true, 5.0};
            }
            if (text == "-5") {
                return OutOfRange("Enter a number between 1 and 60.", -5.0);
            }
            // 1e308 and the 10 000 digits do not fit the field's float.
            return Refused("Enter a number.");
        case Field::CableM:
            if (text == "+5") {
                return {std::nullopt, true, 5.0};
            }
            if (text == "-5") {
                return OutOfRange("Enter a number between 0 and 1000.", -5.0);
            }
            if (text == "1e308" || text == "-1e308") {
                return OutOfRange("Enter a number between 0 and 1000.", std::stod(text));
            }
            return Refused("Enter a number.");  // 10 000 digits exceed a double too
    }
    return {};
}

struct EditCase {
    int id;
    Field field;
};

constexpr EditCase kEdits[] = {
    {kIdSmithFreq, Field::SmithKHz}, {kIdVswr1Start, Field::RangeMHz},
    {kIdVswr1Stop, Field::RangeMHz}, {kIdVswr2Start, Field::RangeMHz},
    {kIdVswr2Stop, Field::RangeMHz}, {kIdVswr3Start, Field::RangeMHz},
    {kIdVswr3Stop, Field::RangeMHz}, {kIdCableLength, Field::CableM},
};

double MemberOf(const CKORVELDlg& d, int id) {
    switch (id) {
        case kIdSmithFreq:
            return d.m_sweep.m_smithFreqKHz.load();
        case kIdVswr1Start:
            return d.m_sweep.m_vswr1StartMHz.load();
        case kIdVswr1Stop:
            return d.m_sweep.m_vswr1StopMHz.load();
        case kIdVswr2Start:
            return d.m_sweep.m_vswr2StartMHz.load();
        case kIdVswr2Stop:
            return d.m_sweep.m_vswr2StopMHz.load();
        case kIdVswr3Start:
            return d.m_sweep.m_vswr3StartMHz.load();
        case kIdVswr3Stop:
            return d.m_sweep.m_vswr3StopMHz.load();
        default:
            return d.m_sweep.m_cableLengthM.load();
    }
}

class DialogBadInput : public ::testing::Test {
  protected:
    void SetUp() override {
        DialogOptions options;
        options.startRefreshTimer = false;
        dialog = std::make_unique<CKORVELDlg>(state, instrument, clock, options);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->activateWindow();
    }
    void TearDown() override { dialog.reset(); }

    // Types the text as a user would (pasting what no keyboard types).
    void Enter(int id, const std::string& text) {
        QLineEdit* edit = dialog->Edit(id);
        edit->clear();
        const QString q = QString::fromStdString(text);
        // Tab moves the focus instead of typing; long or non-Latin texts are pasted.
        const bool typable = text.size() < 32 && text.find('\t') == std::string::npos &&
                             q.toLatin1() == QByteArray::fromStdString(text);
        if (typable) {
            QTest::keyClicks(edit, q);
        } else {
            edit->setText(q);
        }
        ASSERT_EQ(edit->text(), q);
    }

    // Puts the construction values back in every member and edit.
    void ResetEdits() {
        const SweepSettings fresh;
        SweepSettings& s = dialog->m_sweep;
        s.m_smithFreqKHz.store(fresh.m_smithFreqKHz.load());
        s.m_vswr1StartMHz.store(fresh.m_vswr1StartMHz.load());
        s.m_vswr1StopMHz.store(fresh.m_vswr1StopMHz.load());
        s.m_vswr2StartMHz.store(fresh.m_vswr2StartMHz.load());
        s.m_vswr2StopMHz.store(fresh.m_vswr2StopMHz.load());
        s.m_vswr3StartMHz.store(fresh.m_vswr3StartMHz.load());
        s.m_vswr3StopMHz.store(fresh.m_vswr3StopMHz.load());
        s.m_cableLengthM.store(fresh.m_cableLengthM.load());
        dialog->UpdateData(false);
    }

    MeasurementState state;
    NoInstrumentTransport instrument;  // the worker polls for one and sends nothing
    ParkedClock clock;
    std::unique_ptr<CKORVELDlg> dialog;
};

TEST_F(DialogBadInput, EveryEditRefusesOrAcceptsEveryBadTextAsItsRulesSay) {
    std::vector<std::string> texts(std::begin(kBadTexts), std::end(kBadTexts));
    texts.push_back(kTenThousandDigits);
    auto* submitSmith = qobject_cast<QPushButton*>(dialog->Control(kIdSubmitSmith));
    auto* submitScan = qobject_cast<QPushButton*>(dialog->Control(kIdSubmitScan));
    ASSERT_NE(submitSmith, nullptr);
    ASSERT_NE(submitScan, nullptr);

    int round = 0;
    for (const EditCase& edit : kEdits) {
        for (const std::string& text : texts) {
            SCOPED_TRACE("edit " + std::to_string(edit.id) + ", text \"" +
                         (text.size() > 20 ? text.substr(0, 20) + "..." : text) + "\"");
            ResetEdits();
            const double before = MemberOf(*dialog, edit.id);
            Enter(edit.id, text);

            ModalAnswer answer;
            // Alternate the three ways in: Enter in the edit (the default
            // button), "Submit Smith" and "Submit and Start Continuous Scan".
            switch (round++ % 3) {
                case 0:
                    QTest::keyClick(dialog->Edit(edit.id), Qt::Key_Return);
                    break;
                case 1:
                    QTest::mouseClick(submitSmith, Qt::LeftButton);
                    break;
                default:
                    QTest::mouseClick(submitScan, Qt::LeftButton);
                    break;
            }

            const Outcome want = Expected(edit.field, text);
            if (want.message) {
                EXPECT_EQ(answer.boxes, 1);
                EXPECT_EQ(answer.text.toStdString(), *want.message);
                QLineEdit* refused = dialog->Edit(edit.id);
                EXPECT_EQ(dialog->focusWidget(), refused);
                EXPECT_EQ(refused->selectedText(), refused->text());
            } else {
                EXPECT_EQ(answer.boxes, 0) << answer.text.toStdString();
            }
            const double after = MemberOf(*dialog, edit.id);
            if (want.stores) {
                EXPECT_EQ(after, want.value);
            } else {
                EXPECT_EQ(after, before) << "a refused text changed its member";
            }
            EXPECT_TRUE(std::isfinite(after));
            // The window paints with whatever was stored (the Smith panel
            // carries the point through a cable of -5 m or 1e308 m).
            EXPECT_FALSE(dialog->grab().isNull());
        }
    }
    // The worker never found an instrument, so nothing was ever sent.
    EXPECT_EQ(state.linkUp.load(), 0);
}

TEST_F(DialogBadInput, ExtremeStoredRangesGiveDefinedFrequencyPlans) {
    // An out-of-range start is stored before it is refused, and the scan
    // command goes on to recompute the plans from it: whole hertz, the low
    // 32 bits of the truncated value, defined for any float.
    auto* submitScan = qobject_cast<QPushButton*>(dialog->Control(kIdSubmitScan));
    for (const char* start : {"-5", "0", "3.4e38", "-3.4e38", "1e-45"}) {
        SCOPED_TRACE(start);
        ResetEdits();
        Enter(kIdVswr1Start, start);
        ModalAnswer answer;
        QTest::mouseClick(submitScan, Qt::LeftButton);
        EXPECT_EQ(answer.boxes, 1);
        EXPECT_EQ(dialog->m_sweep.m_vswr1StartMHz.load(), std::strtof(start, nullptr));
        EXPECT_EQ(state.scanRequest.load(), 1);
        EXPECT_FALSE(dialog->grab().isNull());
    }

    // A stop below its start is accepted; the step is negative and kept as
    // its two's-complement pattern.
    ResetEdits();
    Enter(kIdVswr1Start, "60");
    Enter(kIdVswr1Stop, "1");
    ModalAnswer answer;
    QTest::mouseClick(submitScan, Qt::LeftButton);
    EXPECT_EQ(answer.boxes, 0);
    EXPECT_EQ(dialog->m_chartVswr1.m_startFreqHz, 60000000u);
    EXPECT_EQ(dialog->m_chartVswr1.m_stepHz, static_cast<uint32_t>(-294999));
    EXPECT_FALSE(dialog->grab().isNull());
}

}  // namespace
}  // namespace korvel::testing
