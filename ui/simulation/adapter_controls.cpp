#include "adapter_controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "named_button.h"

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
    auto* holder = new QWidget(this);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    unplug_ = makeNamedButton("unplugButton", QStringLiteral("Unplug"), holder);
    replug_ = makeNamedButton("replugButton", QStringLiteral("Plug in"), holder);
    connect(unplug_, &QPushButton::clicked, this, [this] {
        adapter_.unplug();
        refresh();
    });
    connect(replug_, &QPushButton::clicked, this, [this] {
        adapter_.replug();
        refresh();
    });
    layout->addWidget(new QLabel(QStringLiteral("Cable:"), holder));
    layout->addWidget(unplug_);
    layout->addWidget(replug_);
    layout->addStretch();
    return holder;
}

QWidget* AdapterControls::makeFaultRow() {
    auto* holder = new QWidget(this);
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* lose = makeNamedButton("loseReplyButton", QStringLiteral("Lose next reply"), holder);
    connect(lose, &QPushButton::clicked, this, [this] { adapter_.loseNextReply(); });
    auto* late = makeNamedButton("lateReplyButton", QStringLiteral("Late next reply"), holder);
    late->setToolTip(QStringLiteral("The next reply comes %1 ms late.").arg(kLateReplyMs));
    connect(late, &QPushButton::clicked, this, [this] { adapter_.delayNextReply(kLateReplyMs); });
    auto* refuse = makeNamedButton("refuseWritesButton", QStringLiteral("Refuse writes"), holder);
    refuse->setCheckable(true);
    refuse->setToolTip(QStringLiteral("While down, the adapter acknowledges every write with 0."));
    connect(refuse, &QPushButton::toggled, this,
            [this](bool on) { adapter_.refuseEveryNthWrite(on ? 1 : 0); });

    layout->addWidget(new QLabel(QStringLiteral("Faults:"), holder));
    layout->addWidget(lose);
    layout->addWidget(late);
    layout->addWidget(refuse);
    layout->addStretch();
    return holder;
}

void AdapterControls::refresh() {
    state_->setText(stateText(adapter_));
    unplug_->setEnabled(adapter_.plugged());
    replug_->setEnabled(!adapter_.plugged());
}

}  // namespace qe::ui
