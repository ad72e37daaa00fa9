// The "Impedance" window of the Tools submenu: for one range, R, X and |Z|
// against frequency, the Smith chart's trace, up to four markers with their
// read-out rows, how many points are unsettled, and where the main window's
// Smith point disagrees with the sweep. A window of its own, not modal; it
// looks at the shared state on the main window's refresh tick and redraws
// only when what it shows has changed.
#pragma once

#include <QWidget>

#include "core/measurement_state.h"
#include "core/sweep_settings.h"
#include "impedance_data.h"
#include "impedance_markers.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace korvel {

class ImpedanceChart;
class ImpedanceSmithChart;

class ImpedanceWindow : public QWidget {
  public:
    ImpedanceWindow(const MeasurementState& state, const SweepSettings& settings, QWidget* owner);

    // The refresh tick: takes a new snapshot only when the range's readings
    // or the settings it depends on have changed (and the window is shown).
    void Refresh();
    void ShowRange(int range);
    // Asks for a file and writes the window's picture there as PNG.
    void OnSaveView();

    const ImpedanceSnapshot& Snapshot() const { return snapshot_; }
    const ImpedanceMarkers& Markers() const { return markers_; }
    // How many snapshots were taken (the tick's work, for the benchmarks).
    int Snapshots() const { return snapshots_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void Rebuild();
    void ShowMarkers();
    void Picked(std::size_t point, bool drag);

    const MeasurementState& state_;
    const SweepSettings& settings_;
    int range_ = 1;
    ImpedanceInputs shown_;
    bool stale_ = true;
    int snapshots_ = 0;
    ImpedanceSnapshot snapshot_;
    ImpedanceMarkers markers_;
    QComboBox* rangeBox_;
    ImpedanceChart* chart_;
    ImpedanceSmithChart* smith_;
    QTableWidget* table_;
    QLabel* note_;
    QLabel* disagreement_;
};

}  // namespace korvel
