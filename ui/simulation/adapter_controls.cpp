#include "adapter_controls.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "named_button.h"
#include "widget_row.h"

namespace qe::ui {

namespace {

QString stateText(const sim::SimulatedAdapter& adapter) {
    if (!adapter.plugged()) return QStringLiteral("Unplugged");
    return QStringLiteral("Plugged in, %1; chip supply %2")
        .arg(adapter.isOpen() ? QStringLiteral("open") : QStringLiteral("not open"),
             adapter.supplyOn() ? QStringLiteral("on") : QStringLiteral("off"));
}

}  // namespace

AdapterControls::AdapterControls(sim::SimulatedAdapter& adapter, QWidget* parent)
    : QGroupBox(QStringLiteral("Adapter %1").arg(QString::fromStdString(adapter.serialNumber())),
                parent),
      adapter_(adapter) {
    setObjectName(QStringLiteral("adapterControls"));
    auto* rows = new QVBoxLayout(this);
    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("adapterState"));
    rows->addWidget(state_);
    rows->addWidget(makeCableRow());
    rows->addWidget(makeFaultRow());
    refresh();
}

QWidget* AdapterControls::makeCableRow() {
    unplug_ = makeNamedButton("unplugButton", QStringLiteral("Unplug"), this);
    replug_ = makeNamedButton("replugButton", QStringLiteral("Plug in"), this);
    connect(unplug_, &QPushButton::clicked, this, [this] {
        adapter_.unplug();
        refresh();
    });
    connect(replug_, &QPushButton::clicked, this, [this] {
        adapter_.replug();
        refresh();
    });
    return makeRow(this, {new QLabel(QStringLiteral("Cable:"), this), unplug_, replug_});
}

QWidget* AdapterControls::makeFaultRow() {
    auto* lose = makeNamedButton("loseReplyButton", QStringLiteral("Lose next reply"), this);
    connect(lose, &QPushButton::clicked, this, [this] { adapter_.loseNextReply(); });
    auto* late = makeNamedButton("lateReplyButton", QStringLiteral("Late next reply"), this);
    late->setToolTip(QStringLiteral("The next reply comes %1 ms late.").arg(kLateReplyMs));
    connect(late, &QPushButton::clicked, this, [this] { adapter_.delayNextReply(kLateReplyMs); });
    auto* refuse = makeNamedButton("refuseWritesButton", QStringLiteral("Refuse writes"), this);
    refuse->setCheckable(true);
    refuse->setToolTip(QStringLiteral("While down, the adapter acknowledges every write with 0."));
    connect(refuse, &QPushButton::toggled, this,
            [this](bool on) { adapter_.refuseEveryNthWrite(on ? 1 : 0); });

    return makeRow(this, {new QLabel(QStringLiteral("Faults:"), this), lose, late, refuse});
}

void AdapterControls::refresh() {
    state_->setText(stateText(adapter_));
    unplug_->setEnabled(adapter_.plugged());
    replug_->setEnabled(!adapter_.plugged());
}

}  // namespace qe::ui
