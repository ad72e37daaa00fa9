// The window's commands: the submit buttons, the guarded calibration requests,
// the colour choices, Save View, the pointer read-out and the context menu
// with its About entry.
#include <QAction>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>

#include "app_title.h"
#include "bmp_writer.h"
#include "korvel_dlg.h"
#include "png_writer.h"
#include "pointer_readout.h"
#include "tools_menu.h"

#ifdef Q_OS_WIN
#include <windows.h>
// <windows.h> maps ChooseColor to ChooseColorW, which would rename the member
// function defined here away from its declaration.
#undef ChooseColor
#endif

namespace korvel {

namespace {

constexpr const char* kZoAlarm =
    "This operation must be very reliable!You need use a 50ohm cable and a 50ohm RF dummy "
    "load.You can cancel this operation right now,or click OK to Countinue..";
constexpr const char* kPinAlarm =
    "This operation must be very reliable!You need a more precise RF signal generator to output "
    "0dBm and -20dBm signal.You can cancel this operation right now,or click OK to Countinue..";
constexpr const char* kAboutEntry = "&About KORVEL...";
[[maybe_unused]] constexpr unsigned kSysCommandAbout = 16;

}  // namespace

void CKORVELDlg::OnSubmitSmith() {
    UpdateData(true);  // a refusal has been shown; the request goes out all the same
    state_.smithRequest.store(1, kRelaxed);
}

void CKORVELDlg::OnSubmitScan() {
    UpdateData(true);
    ApplyFrequencyPlans();
    heldTraces_.DropChangedRanges(Charts());
    state_.scanRequest.store(1, kRelaxed);
}

bool CKORVELDlg::ConfirmAlarm(const char* text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Alarm"), QString::fromUtf8(text),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    return box.exec() == QMessageBox::Ok;
}

void CKORVELDlg::OnZoCalibration() {
    if (ConfirmAlarm(kZoAlarm)) {
        state_.zoCalRequest.store(1, kRelaxed);
    }
}

void CKORVELDlg::OnPinCalibration() {
    if (ConfirmAlarm(kPinAlarm)) {
        state_.pinCalRequest.store(1, kRelaxed);
    }
}

std::optional<ColorRef> CKORVELDlg::ChooseColor(ColorRef initial) {
    // QColorDialog keeps its 16 custom colours for the whole run.
    QColorDialog dialog(ToQColor(initial), this);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return FromQColor(dialog.selectedColor());
}

void CKORVELDlg::ChooseCurveColor(CDisLine& chart) {
    if (const auto color = ChooseColor(chart.m_curveColor[0])) {
        chart.m_curveColor[0] = *color;
    }
}

void CKORVELDlg::OnVswr1Color() {
    ChooseCurveColor(m_chartVswr1);
}
void CKORVELDlg::OnVswr2Color() {
    ChooseCurveColor(m_chartVswr2);
}
void CKORVELDlg::OnVswr3Color() {
    ChooseCurveColor(m_chartVswr3);
}
void CKORVELDlg::OnS21Color() {
    ChooseCurveColor(m_chartS21);
}

void CKORVELDlg::OnBackgroundColor() {
    if (const auto color = ChooseColor(m_chartVswr1.m_backColor)) {
        for (CDisLine* chart : Charts()) {
            chart->m_backColor = *color;
        }
    }
}

void CKORVELDlg::OnCoordinateColor() {
    if (const auto color = ChooseColor(m_chartVswr1.m_gridColor)) {
        for (CDisLine* chart : Charts()) {
            chart->m_gridColor = *color;
        }
    }
}

void CKORVELDlg::OnSaveView() {
    // The picture is the window's own rendering of its client area, taken
    // before the file dialog opens: no other window can end up in it.
    const QImage picture = grab().toImage();
    const QScreen* display = screen();
    const int displayDepth = display ? display->depth() : 32;

    const QString bmpFilter = QStringLiteral("Bit Image(*.BMP)");
    const QString pngFilter = QStringLiteral("PNG (*.png)");
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("BMP"));
    dialog.setNameFilters({bmpFilter, pngFilter});
    dialog.selectFile(QStringLiteral("Result.BMP"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, pngFilter](const QString& f) {
        dialog.setDefaultSuffix(f == pngFilter ? QStringLiteral("png") : QStringLiteral("BMP"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString path = dialog.selectedFiles().constFirst();
    // The name the user typed decides; the bitmap stays the default.
    const bool saved = HasPngSuffix(path) ? WritePngFile(path, picture)
                                          : WriteBmpFile(path, picture, displayDepth);
    if (!saved) {
        // Not saving must not look like saving.
        QMessageBox::warning(this, ApplicationTitle(),
                             QStringLiteral("The view could not be saved to \"%1\".").arg(path));
    }
}

void CKORVELDlg::OnPointerMove(int x, int y) {
    const auto charts = Charts();
    if (!PointerXInside(x)) {
        for (CDisLine* chart : charts) {
            chart->m_cursorIndex = 0;
        }
        return;
    }
    const std::array<const PointArray*, 4> data = {&state_.vswr1Points, &state_.vswr2Points,
                                                   &state_.vswr3Points, &state_.s21Points};
    const double t = PointerT(x);
    for (std::size_t i = 0; i < charts.size(); ++i) {
        CDisLine& chart = *charts[i];
        const PointerBand& band = kPointerBands[i];
        if (!band.Contains(x, y)) {
            chart.m_cursorIndex = 0;
            continue;
        }
        const float frequencyHz = PointerFrequencyHz(chart.m_startFreqHz, chart.m_stepHz, t);
        const int index = PointerIndex(t);
        chart.m_cursorIndex = index;
        const double value = (*data[i])[static_cast<std::size_t>(index)].load(kRelaxed);
        chart.m_cursorText =
            QString::fromStdString(ReadoutText(band.kind, frequencyHz / 1000000.0f, value));
        chart.update();
    }
}

void CKORVELDlg::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    OnPointerMove(p.x(), p.y());
    QDialog::mouseMoveEvent(event);
}

void CKORVELDlg::OnAbout() {
    emit aboutRequested();
}

void CKORVELDlg::AddAboutEntry() {
    // Everywhere the entry is in the window's context menu; where the platform
    // has a window menu it is appended there too, after a separator.
    aboutAction_ = new QAction(QString::fromUtf8(kAboutEntry), this);
    connect(aboutAction_, &QAction::triggered, this, &CKORVELDlg::OnAbout);
#ifdef Q_OS_WIN
    if (HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE)) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kSysCommandAbout, L"&About KORVEL...");
    }
#endif
}

void CKORVELDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (!aboutAction_) {
        QDialog::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    QMenu* tools = menu.addMenu(QStringLiteral("&Tools"));
    tools_->AddEntries(*tools);
    AddSettingsEntries(*tools);
    menu.addSeparator();
    menu.addAction(aboutAction_);
    menu.exec(event->globalPos());
}

void CKORVELDlg::keyPressEvent(QKeyEvent* event) {
#ifndef Q_OS_WIN
    // Windows turns Shift+F10 into a context-menu request itself, and so do
    // the X11 and Wayland layers for the menu key; here Shift+F10 asks the
    // focused control, whose own menu (or, passed on, this window's) opens
    // at its centre.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QWidget* target = focusWidget() ? focusWidget() : this;
        const QPoint at = target->rect().center();
        QContextMenuEvent request(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
        QCoreApplication::sendEvent(target, &request);
        event->accept();
        return;
    }
#endif
    QDialog::keyPressEvent(event);
}

#ifdef Q_OS_WIN
bool CKORVELDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    const MSG* msg = static_cast<const MSG*>(message);
    // System commands carry flags in their low four bits.
    if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kSysCommandAbout) {
        OnAbout();
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif

}  // namespace korvel
