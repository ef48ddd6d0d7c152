#include "simulation_window.h"

#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "adapter_controls.h"
#include "beside_placement.h"
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
    // This window has no frame yet; the main window's, from the same window manager, stands
    // in for it (none while that is not known either).
    const QRect inside = mainWindow.geometry();
    const QMargins frame(inside.left() - main.left(), inside.top() - main.top(),
                         main.right() - inside.right(), main.bottom() - inside.bottom());
    // Sized first: a window given its size only when it is shown loses the meaning of a
    // position given before, the frame's corner, and the window manager would then put the
    // inside there with the title bar above it.
    resize(sizeHint().expandedTo(minimumSizeHint()));
    move(besideFramePosition(main, size(), frame, desk, kGap));
}

}  // namespace qe::ui
