// A fixture that opens the real main window on a scripted instrument whose
// worker is parked, with the shared window-test helpers at hand.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <memory>

#include "core/measurement_state.h"
#include "korvel_dlg.h"
#include "modal_answers.h"
#include "scripted_instrument.h"
#include "stop_bound_clocks.h"

namespace korvel::testing {

class DialogTest : public ::testing::Test {
  protected:
    void Open(DialogOptions options = {}) {
        options.startRefreshTimer = false;
        dialog = std::make_unique<CKORVELDlg>(state, transport, clock, std::move(options));
        dialog->show();
    }
    void TearDown() override { dialog.reset(); }

    QLineEdit* Edit(int id) { return dialog->Edit(id); }

    MeasurementState state;
    ScriptedInstrument transport;
    ParkedClock clock;
    std::unique_ptr<CKORVELDlg> dialog;
};

}  // namespace korvel::testing
