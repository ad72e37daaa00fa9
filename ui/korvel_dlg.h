// The program's one window: a fixed-size dialog that holds the user's settings
// (the sweep's, which the worker reads), owns the four line charts, the RF-power meter
// and the USB-link lamp, starts the sweep worker and refreshes the charts and
// the meter every 100 ms from MeasurementState.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "clock.h"
#include "color_ref.h"
#include "core/measurement_state.h"
#include "core/sweep_settings.h"
#include "core/worker_window.h"
#include "device_transport.h"
#include "dis_line.h"
#include "held_traces.h"
#include "led.h"
#include "meter.h"
#include "progress_lines.h"

class QAction;
class QLineEdit;
class QMenu;
class QPushButton;
class QSettings;

namespace korvel {

class ImpedanceWindow;
class SweepWorker;
class ToolsMenu;
class WorkerWindowBridge;
struct BandPreset;

struct DialogOptions {
    // Enables "Zo Calebration" and "Pin Calebration" for owners of the
    // reference load and signal source (off by default, as laid out).
    bool enableCalibration = false;
    // Wraps the window interface before the worker gets it (for example so a
    // simulated bench follows the calibration prompts). Null: no wrapper.
    std::function<std::unique_ptr<WorkerWindow>(WorkerWindow&)> wrapWorkerWindow;
    // The 100 ms refresh timer; tests drive OnTimer() themselves.
    bool startRefreshTimer = true;
    // The device string the instrument was opened with, as exports name it
    // ("" is the platform's own instrument layer).
    std::string device;
};

class CKORVELDlg : public QDialog {
    Q_OBJECT

  public:
    CKORVELDlg(MeasurementState& state, DeviceTransport& transport, Clock& clock,
               DialogOptions options = {}, QWidget* parent = nullptr);
    ~CKORVELDlg() override;

    QIcon m_hIcon;
    // What the submit commands store and the worker reads while it runs.
    SweepSettings m_sweep;
    CDisLine m_chartVswr1;
    CDisLine m_chartVswr2;
    CDisLine m_chartVswr3;
    CDisLine m_chartS21;
    CMeter m_meter;
    CLed m_led;

    // Start-up: loads the edits, configures charts, meter and lamp, starts the
    // refresh timer and last the worker. Runs once, when first shown.
    bool OnInitDialog();
    // One 100 ms refresh: lamp flash every sixth tick while the link is up,
    // input power copied to the meter, and the charts and the meter
    // repainted where what they show has changed.
    void OnTimer();
    // Load (false) or save and validate (true) between the controls and the
    // members; false when an entry was refused (after showing why).
    bool UpdateData(bool saveAndValidate);

    // Commands.
    void OnSubmitSmith();
    void OnSubmitScan();
    void OnZoCalibration();
    void OnPinCalibration();
    void OnSaveView();
    void OnVswr1Color();
    void OnVswr2Color();
    void OnVswr3Color();
    void OnS21Color();
    void OnBackgroundColor();
    void OnCoordinateColor();
    void OnPointerMove(int x, int y);
    void OnAbout();
    // The "Tools" entries of the context menu.
    void OnExportData();
    void OnHoldTraces();
    void OnClearHeldTraces();
    void OnShowResonance(bool shown);
    // Opens (or brings up) the Impedance window.
    void OnImpedance();
    ImpedanceWindow* Impedance() const { return impedanceWindow_; }

    // The control of the layout with this id (the frames' ids give the charts
    // and the meter that stand on them), or null.
    QWidget* Control(int id) const;
    QLineEdit* Edit(int id) const;
    int TickCount() const { return m_tickCount; }
    MeasurementState& State() { return state_; }
    // The bridge through which the worker reaches this window.
    WorkerWindowBridge& Bridge() { return *bridge_; }
    QAction* AboutAction() const { return aboutAction_; }
    // The checkable "Remember Settings" entry (after start-up).
    QAction* RememberAction() const { return rememberAction_; }
    ToolsMenu& Tools() { return *tools_; }
    const HeldTraces& HeldTraceSet() const { return heldTraces_; }
    // Stops and joins the worker (also while it waits on one of its messages).
    void StopWorker();

  signals:
    // "&About KORVEL..." was chosen; the application shows its About box.
    void aboutRequested();

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

  private:
    void BuildControls();
    void CreateProgressOverlays();
    void AddAboutEntry();
    // Entries that keep the user's settings, appended to the Tools submenu
    // after the chart and export entries.
    void AddSettingsEntries(QMenu& tools);
    void ConfigureCharts();
    void CreateLamp();
    void StartWorker();
    void ApplyFrequencyPlans();
    // Shows a refusal, puts the focus on the edit with its text selected.
    bool Refuse(int editId, const std::string& message);
    std::optional<ColorRef> ChooseColor(ColorRef initial);
    void ChooseCurveColor(CDisLine& chart);
    bool ConfirmAlarm(const char* text);
    std::array<CDisLine*, 4> Charts();

    // Band presets (korvel_dlg_presets.cpp).
    void InstallBandPresetMenus();
    void ShowRangeEditMenu(QLineEdit& edit, int range, const QPoint& globalPos);
    void FillRange(int range, const BandPreset& preset);
    // Remember Settings (korvel_dlg_remember.cpp).
    void RestoreRememberedSettings();
    void RestoreViewChoices(const QSettings& settings);
    void RestoreHeldTraces(const QSettings& settings);
    void SaveRememberedSettings();
    void SaveViewChoices(QSettings& settings);
    void OnRememberSettings(bool on);
    void RestoreImpedanceGeometry();

    MeasurementState& state_;
    DeviceTransport& transport_;
    Clock& clock_;
    DialogOptions options_;
    std::map<int, QWidget*> controls_;
    ProgressLines progressLines_;
    WorkerWindowBridge* bridge_ = nullptr;  // child QObject of this window
    std::unique_ptr<WorkerWindow> wrappedWindow_;
    std::unique_ptr<SweepWorker> worker_;
    int m_tickCount = 0;
    QAction* aboutAction_ = nullptr;
    QAction* rememberAction_ = nullptr;
    ToolsMenu* tools_ = nullptr;  // child QObject of this window
    HeldTraces heldTraces_;
    ImpedanceWindow* impedanceWindow_ = nullptr;  // child window, made when first opened
    int refreshTimerId_ = 0;
    bool initialised_ = false;
};

}  // namespace korvel
