#include "simulation_window.h"

#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "adapter_controls.h"
#include "chip_controls.h"
#include "magnet_controls.h"

namespace qe::ui {

namespace {

constexpr int kGap = 8;

QLabel* makeNote(QWidget* parent) {
    auto* note = new QLabel(
        QStringLiteral("<b>Simulated adapter</b>: no hardware is used. The tool talks to this "
                       "simulation byte for byte as it would to a real adapter; what you change "
                       "here, the tool sees on its next look."),
        parent);
    note->setObjectName(QStringLiteral("simulationNote"));
    note->setWordWrap(true);
    note->setAutoFillBackground(true);
    note->setMargin(6);
    QPalette palette = note->palette();
    palette.setColor(QPalette::Window, QColor(255, 243, 205));
    palette.setColor(QPalette::WindowText, QColor(90, 60, 0));
    note->setPalette(palette);
    return note;
}

}  // namespace

SimulationWindow::SimulationWindow(sim::SimulatedAdapter& adapter, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("SimulationWindow"));
    setWindowTitle(QStringLiteral("Simulated adapter"));

    magnet_ = new MagnetControls(adapter.magnet(), this);
    adapter_ = new AdapterControls(adapter, this);
    chips_ = new ChipControls(adapter.bus(), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeNote(this));
    layout->addWidget(magnet_);
    layout->addWidget(adapter_);
    layout->addWidget(chips_);
    layout->addStretch();

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setInterval(kRefreshMs);
    connect(refreshTimer_, &QTimer::timeout, this, &SimulationWindow::refresh);
}

void SimulationWindow::refresh() {
    magnet_->refresh();
    adapter_->refresh();
    chips_->refresh();
}

void SimulationWindow::showEvent(QShowEvent* event) {
    refresh();
    refreshTimer_->start();
    QWidget::showEvent(event);
}

void SimulationWindow::hideEvent(QHideEvent* event) {
    refreshTimer_->stop();
    QWidget::hideEvent(event);
}

void SimulationWindow::placeBeside(const QWidget& mainWindow) {
    const QRect main = mainWindow.frameGeometry();
    const QScreen* screen = mainWindow.screen();
    const QRect desk =
        screen ? screen->availableGeometry() : QRect(main.topLeft(), QSize(1 << 14, 1 << 14));
    const QSize size = sizeHint().expandedTo(minimumSizeHint());

    QPoint place(main.right() + 1 + kGap, main.top());
    if (place.x() + size.width() > desk.right()) {
        place = QPoint(main.left(), main.bottom() + 1 + kGap);
        if (place.y() + size.height() > desk.bottom())
            place = QPoint(desk.right() + 1 - size.width(), main.top());
    }
    move(place);
}

}  // namespace qe::ui
