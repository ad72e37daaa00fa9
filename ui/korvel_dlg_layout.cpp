// Builds the window's controls from the layout table and places the charts,
// the meter, the lamp and the progress strips.
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

#include "dialog_template.h"
#include "dialog_units.h"
#include "korvel_dlg.h"
#include "label_room.h"
#include "progress_overlay.h"
#include "worker_window_bridge.h"

namespace korvel {

namespace {

QRect PixelRect(const ControlTemplate& c) {
    return QRect(DluToPixelsX(c.x), DluToPixelsY(c.y), DluToPixelsX(c.width),
                 DluToPixelsY(c.height));
}

QFont DialogFont() {
    // The layout's font: an 8-point sans-serif face of 11 pixels, which the
    // 6 x 13 base units of the layout assume.
    QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"),
                               {QStringLiteral("Tahoma"), QStringLiteral("Microsoft Sans Serif"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                QStringLiteral("DejaVu Sans")});
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPixelSize(11);
    return font;
}

}  // namespace

void CKORVELDlg::BuildControls() {
    setFont(DialogFont());
    const std::map<int, QWidget*> takenOver = {
        {kIdFrameVswr1, &m_chartVswr1}, {kIdFrameVswr2, &m_chartVswr2},
        {kIdFrameVswr3, &m_chartVswr3}, {kIdFrameS21, &m_chartS21},
        {kIdFrameMeter, &m_meter},
    };
    struct TextLabel {
        QLabel* label;
        bool centred;
    };
    std::vector<TextLabel> labels;
    for (const ControlTemplate& c : MainDialogControls()) {
        const QString text = QString::fromUtf8(c.text);
        QWidget* widget = nullptr;
        switch (c.kind) {
            case ControlKind::kDefaultButton:
            case ControlKind::kButton: {
                auto* button = new QPushButton(text, this);
                button->setDefault(c.kind == ControlKind::kDefaultButton);
                widget = button;
                break;
            }
            case ControlKind::kEdit:
                widget = new QLineEdit(this);
                break;
            case ControlKind::kCheckBox:
                // Only the box shows; its label is a separate text.
                widget = new QCheckBox(text, this);
                break;
            case ControlKind::kTextCentred:
            case ControlKind::kTextLeft: {
                auto* label = new QLabel(text, this);
                labels.push_back({label, c.kind == ControlKind::kTextCentred});
                label->setAlignment(
                    Qt::AlignTop |
                    (c.kind == ControlKind::kTextLeft ? Qt::AlignLeft : Qt::AlignHCenter));
                label->setAttribute(Qt::WA_TransparentForMouseEvents);
                widget = label;
                break;
            }
            case ControlKind::kBlackFrame:
                if (const auto it = takenOver.find(c.id); it != takenOver.end()) {
                    // The chart or meter takes over the frame's place.
                    widget = it->second;
                } else {
                    auto* frame = new QFrame(this);
                    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
                    frame->setLineWidth(1);
                    QPalette palette = frame->palette();
                    palette.setColor(QPalette::WindowText, Qt::black);
                    frame->setPalette(palette);
                    widget = frame;
                }
                widget->setAttribute(Qt::WA_TransparentForMouseEvents);
                break;
            case ControlKind::kLogo: {
                auto* logo = new QLabel(this);
                const QPixmap picture(QStringLiteral(":/korvel/logo.png"));
                logo->setPixmap(picture);
                // A picture control takes the size of its picture.
                widget = logo;
                widget->setGeometry(QRect(PixelRect(c).topLeft(), picture.size()));
                widget->setAttribute(Qt::WA_TransparentForMouseEvents);
                break;
            }
        }
        if (c.kind != ControlKind::kLogo) {
            widget->setGeometry(PixelRect(c));
        }
        if (c.disabled) {
            widget->setEnabled(false);
        }
        if (c.id != kIdStatic) {
            widget->setProperty("controlId", c.id);
            controls_[c.id] = widget;
        }
    }
    // Every label's text shows whole: the boxes of all controls as laid out
    // bound the room each label may take.
    std::vector<QRect> boxes;
    for (const auto& [id, widget] : controls_) {
        boxes.push_back(widget->geometry());
    }
    for (const TextLabel& l : labels) {
        boxes.push_back(l.label->geometry());
    }
    for (const TextLabel& l : labels) {
        std::vector<QRect> others;
        for (const QRect& box : boxes) {
            if (box != l.label->geometry()) {
                others.push_back(box);
            }
        }
        l.label->setGeometry(RoomForText(l.label->geometry(),
                                         l.label->fontMetrics().horizontalAdvance(l.label->text()),
                                         l.centred, others, width()));
    }

    if (options_.enableCalibration) {
        controls_.at(kIdZoCalibration)->setEnabled(true);
        controls_.at(kIdPinCalibration)->setEnabled(true);
    }

    const auto connectButton = [this](int id, void (CKORVELDlg::*handler)()) {
        connect(static_cast<QPushButton*>(controls_.at(id)), &QPushButton::clicked, this, handler);
    };
    connectButton(kIdSubmitSmith, &CKORVELDlg::OnSubmitSmith);
    connectButton(kIdSubmitScan, &CKORVELDlg::OnSubmitScan);
    connectButton(kIdZoCalibration, &CKORVELDlg::OnZoCalibration);
    connectButton(kIdPinCalibration, &CKORVELDlg::OnPinCalibration);
    connectButton(kIdSaveView, &CKORVELDlg::OnSaveView);
    connectButton(kIdVswr1Color, &CKORVELDlg::OnVswr1Color);
    connectButton(kIdVswr2Color, &CKORVELDlg::OnVswr2Color);
    connectButton(kIdVswr3Color, &CKORVELDlg::OnVswr3Color);
    connectButton(kIdS21Color, &CKORVELDlg::OnS21Color);
    connectButton(kIdBackgroundColor, &CKORVELDlg::OnBackgroundColor);
    connectButton(kIdCoordinateColor, &CKORVELDlg::OnCoordinateColor);
}

void CKORVELDlg::CreateProgressOverlays() {
    for (int channel = 0; channel < static_cast<int>(kProgressY.size()); ++channel) {
        auto* overlay = new ProgressOverlay(this, progressLines_, channel);
        overlay->raise();
        bridge_->AddProgressOverlay(overlay);
    }
}

void CKORVELDlg::CreateLamp() {
    m_led.setGeometry(30, 1, 25, 25);
    m_led.setProperty("controlId", kIdLamp);
    controls_[kIdLamp] = &m_led;
    m_led.m_color = 0;
    m_led.m_state = 1;
    m_led.m_shape = 0;
    m_led.show();
    m_led.raise();
    m_led.update();
}

QWidget* CKORVELDlg::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QLineEdit* CKORVELDlg::Edit(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}

}  // namespace korvel
