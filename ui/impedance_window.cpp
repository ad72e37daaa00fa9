#include "impedance_window.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app_title.h"
#include "impedance_plots.h"
#include "png_writer.h"

namespace korvel {

ImpedanceWindow::ImpedanceWindow(const MeasurementState& state, const SweepSettings& settings,
                                 QWidget* owner)
    : QWidget(owner, Qt::Window), state_(state), settings_(settings) {
    setWindowTitle(QStringLiteral("Impedance"));
    setObjectName(QStringLiteral("impedanceWindow"));
    setFocusPolicy(Qt::StrongFocus);
    const PointPicked picked = [this](std::size_t point, bool drag) { Picked(point, drag); };

    rangeBox_ = new QComboBox(this);
    rangeBox_->setObjectName(QStringLiteral("impedanceRange"));
    rangeBox_->setFocusPolicy(Qt::ClickFocus);
    for (int r = 1; r <= 3; ++r)
        rangeBox_->addItem(QStringLiteral("Range %1").arg(r));
    connect(rangeBox_, &QComboBox::activated, this, [this](int index) {
        ShowRange(index + 1);
        setFocus();
    });
    auto* save = new QPushButton(QStringLiteral("Save View\u2026"), this);
    save->setObjectName(QStringLiteral("impedanceSaveView"));
    save->setFocusPolicy(Qt::NoFocus);
    connect(save, &QPushButton::clicked, this, &ImpedanceWindow::OnSaveView);
    auto* saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, this, &ImpedanceWindow::OnSaveView);
    auto* hint = new QLabel(
        QStringLiteral("Click to place a marker (up to four); 1\u20134 select, \u2190 \u2192 "
                       "move, Delete removes; Ctrl+S saves the view."),
        this);

    chart_ = new ImpedanceChart(snapshot_, markers_, picked, this);
    chart_->setObjectName(QStringLiteral("impedanceChart"));
    smith_ = new ImpedanceSmithChart(snapshot_, markers_, picked, this);
    smith_->setObjectName(QStringLiteral("impedanceSmith"));

    table_ = new QTableWidget(kMaxMarkers, MarkerColumnTitles().size(), this);
    table_->setObjectName(QStringLiteral("impedanceMarkers"));
    table_->setHorizontalHeaderLabels(MarkerColumnTitles());
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < kMaxMarkers; ++row) {
        table_->setRowHidden(row, true);
        for (int column = 0; column < table_->columnCount(); ++column)
            table_->setItem(row, column, new QTableWidgetItem);
    }
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                           kMaxMarkers * table_->verticalHeader()->defaultSectionSize() + 4);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("impedanceNote"));
    note_->setWordWrap(true);
    disagreement_ = new QLabel(this);
    disagreement_->setObjectName(QStringLiteral("impedanceDisagreement"));
    disagreement_->setWordWrap(true);
    disagreement_->setStyleSheet(QStringLiteral("color: #a03000"));

    auto* top = new QHBoxLayout;
    top->addWidget(rangeBox_);
    top->addWidget(hint, 1);
    top->addWidget(save);
    auto* plots = new QHBoxLayout;
    plots->addWidget(chart_, 2);
    plots->addWidget(smith_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(plots, 1);
    layout->addWidget(table_);
    layout->addWidget(note_);
    layout->addWidget(disagreement_);
    resize(980, 600);
}

void ImpedanceWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}

void ImpedanceWindow::ShowRange(int range) {
    if (range < 1 || range > 3)
        return;
    range_ = range;
    rangeBox_->setCurrentIndex(range - 1);
    markers_ = ImpedanceMarkers{};
    stale_ = true;
    Refresh();
}

void ImpedanceWindow::Refresh() {
    if (!isVisible())
        return;
    const ImpedanceInputs inputs = InputsOf(state_, settings_, range_);
    if (!stale_ && inputs == shown_)
        return;
    shown_ = inputs;
    stale_ = false;
    Rebuild();
}

void ImpedanceWindow::Rebuild() {
    snapshot_ = TakeSnapshot(state_, settings_, range_);
    ++snapshots_;
    note_->setText(UnsettledNote(snapshot_));
    disagreement_->setText(snapshot_.disagreement);
    disagreement_->setVisible(!snapshot_.disagreement.isEmpty());
    ShowMarkers();
    chart_->update();
    smith_->update();
}

void ImpedanceWindow::ShowMarkers() {
    for (int row = 0; row < kMaxMarkers; ++row) {
        const bool shown = row < static_cast<int>(markers_.At().size());
        table_->setRowHidden(row, !shown);
        if (!shown)
            continue;
        const QStringList texts = MarkerRowTexts(snapshot_, row + 1, markers_.At()[row]);
        for (int column = 0; column < texts.size(); ++column) {
            // Unchanged cells are left alone: each change repaints the table.
            QTableWidgetItem* item = table_->item(row, column);
            if (item->text() != texts[column])
                item->setText(texts[column]);
            if (item->font().bold() != (row == markers_.Selected())) {
                QFont font = item->font();
                font.setBold(row == markers_.Selected());
                item->setFont(font);
            }
        }
    }
}

void ImpedanceWindow::Picked(std::size_t point, bool drag) {
    const std::size_t count = snapshot_.freqMHz.size();
    if (drag) {
        markers_.Drag(point, count);
    } else {
        markers_.Click(point, 2, count);
    }
    ShowMarkers();
    chart_->update();
    smith_->update();
}

void ImpedanceWindow::keyPressEvent(QKeyEvent* event) {
    const std::size_t count = snapshot_.freqMHz.size();
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    const int key = event->key();
    if (key >= Qt::Key_1 && key <= Qt::Key_4) {
        markers_.Select(key - Qt::Key_1, count);
    } else if (key == Qt::Key_Left) {
        markers_.Move(-step, count);
    } else if (key == Qt::Key_Right) {
        markers_.Move(step, count);
    } else if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
        markers_.RemoveSelected();
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    ShowMarkers();
    chart_->update();
    smith_->update();
}

void ImpedanceWindow::OnSaveView() {
    // Taken before the file dialog opens: nothing else ends up in it.
    const QImage picture = grab().toImage();
    QFileDialog dialog(this, QStringLiteral("Save View"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("PNG (*.png)")});
    dialog.setDefaultSuffix(QStringLiteral("png"));
    dialog.selectFile(QStringLiteral("Impedance.png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    if (!WritePngFile(path, picture)) {
        QMessageBox::warning(this, ApplicationTitle(),
                             QStringLiteral("The view could not be saved to \"%1\".").arg(path));
    }
}

}  // namespace korvel
