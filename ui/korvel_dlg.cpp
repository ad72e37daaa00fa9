#include "korvel_dlg.h"

#include <QPainter>
#include <QShowEvent>
#include <QTimerEvent>

#include "core/sweep_worker.h"
#include "dialog_template.h"
#include "dialog_units.h"
#include "frequency_plan.h"
#include "impedance_window.h"
#include "power_meter.h"
#include "smith_panel.h"
#include "tools_menu.h"
#include "worker_window_bridge.h"

namespace korvel {

namespace {

QIcon LoadApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/korvel/icon_%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace

CKORVELDlg::CKORVELDlg(MeasurementState& state, DeviceTransport& transport, Clock& clock,
                       DialogOptions options, QWidget* parent)
    : QDialog(parent),
      m_hIcon(LoadApplicationIcon()),
      m_chartVswr1(this),
      m_chartVswr2(this),
      m_chartVswr3(this),
      m_chartS21(this),
      m_meter(this),
      m_led(this),
      state_(state),
      transport_(transport),
      clock_(clock),
      options_(std::move(options)) {
    // Fixed size: no minimise, maximise or sizing; Esc and the close box close it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QString::fromUtf8(kDialogCaption));
    setFixedSize(DluToPixelsX(kDialogWidthDlu), DluToPixelsY(kDialogHeightDlu));
    setMouseTracking(true);
    m_led.hide();  // the lamp appears at start-up, over its frame
    BuildControls();
    bridge_ = new WorkerWindowBridge(*this, m_sweep, progressLines_);
    tools_ = new ToolsMenu(*this);
    CreateProgressOverlays();
}

CKORVELDlg::~CKORVELDlg() {
    StopWorker();
}

void CKORVELDlg::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

bool CKORVELDlg::OnInitDialog() {
    UpdateData(false);
    AddAboutEntry();
    setWindowIcon(m_hIcon);
    ConfigureCharts();
    InstallBandPresetMenus();
    RestoreRememberedSettings();
    ConfigureAsPowerMeter(m_meter);
    CreateLamp();
    if (options_.startRefreshTimer) {
        refreshTimerId_ = startTimer(100);
    }
    StartWorker();
    return true;
}

void CKORVELDlg::ConfigureCharts() {
    const std::array<const PointArray*, 4> data = {&state_.vswr1Points, &state_.vswr2Points,
                                                   &state_.vswr3Points, &state_.s21Points};
    const std::array<const char*, 4> names = {"VSWR1", "VSWR2", "VSWR3", "S21"};
    const auto charts = Charts();
    for (std::size_t i = 0; i < charts.size(); ++i) {
        CDisLine& chart = *charts[i];
        chart.m_curveCount[0] = static_cast<uint32_t>(kSweepPoints);
        chart.m_curveData[0] = data[i]->data();
        chart.m_curveShown[0] = 1;
        chart.m_curveName[0] = QString::fromLatin1(names[i]);
        chart.m_curveColor[0] = RGB(255, 255, 0);
        chart.m_curveMarkMin[0] = i < 3 ? 1 : 0;
    }
    ApplyFrequencyPlans();
    m_chartS21.m_xUnit = QStringLiteral("(Hz)");
    m_chartS21.m_yUnit = QStringLiteral("(dB)");
    m_chartS21.m_swrScale = 0;
}

void CKORVELDlg::ApplyFrequencyPlans() {
    const auto set = [](CDisLine& chart, const FrequencyPlan& plan) {
        chart.m_startFreqHz = plan.startHz;
        chart.m_stepHz = plan.stepHz;
    };
    set(m_chartVswr1, ComputeFrequencyPlan(m_sweep.m_vswr1StartMHz.load(kRelaxed),
                                           m_sweep.m_vswr1StopMHz.load(kRelaxed)));
    set(m_chartVswr2, ComputeFrequencyPlan(m_sweep.m_vswr2StartMHz.load(kRelaxed),
                                           m_sweep.m_vswr2StopMHz.load(kRelaxed)));
    const FrequencyPlan plan3 = ComputeFrequencyPlan(m_sweep.m_vswr3StartMHz.load(kRelaxed),
                                                     m_sweep.m_vswr3StopMHz.load(kRelaxed));
    set(m_chartVswr3, plan3);
    set(m_chartS21, plan3);  // the S21 chart follows the VSWR3 range
}

void CKORVELDlg::StartWorker() {
    WorkerWindow* window = bridge_;
    if (options_.wrapWorkerWindow) {
        wrappedWindow_ = options_.wrapWorkerWindow(*bridge_);
        if (wrappedWindow_) {
            window = wrappedWindow_.get();
        }
    }
    worker_ = std::make_unique<SweepWorker>(transport_, state_, *window, clock_);
    worker_->Start();
}

void CKORVELDlg::StopWorker() {
    if (refreshTimerId_ != 0) {
        killTimer(refreshTimerId_);
        refreshTimerId_ = 0;
    }
    if (!worker_) {
        return;
    }
    // Stop first, so nothing new is started; then release a worker that waits
    // on one of its messages; then wait for the thread to end.
    worker_->RequestStop();
    bridge_->Shutdown();
    worker_->Join();
    worker_.reset();
}

void CKORVELDlg::done(int result) {
    SaveRememberedSettings();
    StopWorker();
    QDialog::done(result);
}

void CKORVELDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == refreshTimerId_) {
        OnTimer();
        return;
    }
    QDialog::timerEvent(event);
}

void CKORVELDlg::OnTimer() {
    if (m_tickCount < 5) {
        ++m_tickCount;
    } else {
        if (state_.linkUp.load(kRelaxed) == 1) {
            m_led.Flash();
        }
        m_tickCount = 0;
    }
    // Only what would look different is repainted: an idle window costs no
    // paint at all.
    for (CDisLine* chart : Charts()) {
        chart->UpdateIfChanged();
    }
    m_meter.m_value = state_.rfPowerDbm.load(kRelaxed);
    m_meter.UpdateIfChanged();
    bridge_->RefreshStaleOverlays();
    if (impedanceWindow_) {
        impedanceWindow_->Refresh();
    }
}

void CKORVELDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // The charts' repaints reach the window under the progress strips; the
    // Smith panel lies elsewhere and needs no work then.
    if (!event->region().intersects(kSmithPanelArea)) {
        return;
    }
    QPainter painter(this);
    PaintSmithPanel(painter, state_, m_sweep.m_smithFreqKHz.load(kRelaxed),
                    m_sweep.m_cableLengthM.load(kRelaxed));
}

std::array<CDisLine*, 4> CKORVELDlg::Charts() {
    return {&m_chartVswr1, &m_chartVswr2, &m_chartVswr3, &m_chartS21};
}

}  // namespace korvel
