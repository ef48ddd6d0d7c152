#include "chip_controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

#include <set>

#include "adapter_commands.h"
#include "named_button.h"

namespace qe::ui {

namespace {

std::set<int> addressesOn(sim::ChipBus& bus) {
    std::set<int> addresses;
    for (std::size_t i = 0; i < bus.chipCount(); ++i) addresses.insert(bus.chip(i).address());
    return addresses;
}

}  // namespace

ChipControls::ChipControls(sim::ChipBus& bus, QWidget* parent)
    : QGroupBox(QStringLiteral("Chips"), parent), bus_(bus) {
    setObjectName(QStringLiteral("chipControls"));
    auto* rows = new QVBoxLayout(this);
    chips_ = new QLabel(this);
    chips_->setObjectName(QStringLiteral("chipList"));
    chips_->setWordWrap(true);  // many chips make a long list; the window keeps its width
    auto* add = makeNamedButton("addChipButton", QStringLiteral("Add chip"), this);
    remove_ = makeNamedButton("removeChipButton", QStringLiteral("Remove chip"), this);
    removeAll_ = makeNamedButton("removeAllChipsButton", QStringLiteral("Remove all"), this);
    connect(add, &QPushButton::clicked, this, &ChipControls::addChip);
    connect(remove_, &QPushButton::clicked, this, &ChipControls::removeLastChip);
    connect(removeAll_, &QPushButton::clicked, this, [this] {
        bus_.removeAllChips();
        refresh();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove_);
    buttons->addWidget(removeAll_);
    buttons->addStretch();
    rows->addWidget(chips_);
    rows->addLayout(buttons);
    refresh();
}

void ChipControls::addChip() {
    // The lowest free address, so the new chip is a second chip and not a twin of the first.
    const std::set<int> used = addressesOn(bus_);
    for (int address = 0; address < kBusAddressCount; ++address) {
        if (!used.contains(address)) {
            bus_.addChip(static_cast<std::uint8_t>(address));
            break;
        }
    }
    refresh();
}

void ChipControls::removeLastChip() {
    if (bus_.chipCount() == 0) return;
    // Chips sharing an address answer as one, so they go together.
    bus_.removeChip(bus_.chip(bus_.chipCount() - 1).address());
    refresh();
}

void ChipControls::refresh() {
    const std::set<int> used = addressesOn(bus_);
    QStringList addresses;
    for (int address : used) addresses << QString::number(address);
    const auto count = static_cast<int>(bus_.chipCount());
    chips_->setText(count == 0 ? QStringLiteral("No chip on the bus")
                               : QStringLiteral("%1 on the bus, address %2")
                                     .arg(count == 1 ? QStringLiteral("1 chip")
                                                     : QStringLiteral("%1 chips").arg(count),
                                          addresses.join(QStringLiteral(", "))));
    remove_->setEnabled(count > 0);
    removeAll_->setEnabled(count > 0);
}

}  // namespace qe::ui
