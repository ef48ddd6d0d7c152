#include "chip_connection.h"

#include <QString>

#include "adapter_identity.h"
#include "ini_store.h"
#include "messages.h"

namespace qe::chip {

namespace {

const QString kIniSection = QStringLiteral("Port Options");
const QString kIniLastOpened = QStringLiteral("Last Opened");

int singleAddressOrNone(const std::vector<std::uint8_t>& addresses) {
    return addresses.size() == 1 ? addresses.front() : -1;
}

}  // namespace

ChipConnection::ChipConnection(AdapterLink& link, ChipSession& session, std::string iniFilePath)
    : link_(link),
      session_(session),
      iniFilePath_(std::move(iniFilePath)),
      ini_(QString::fromStdString(iniFilePath_)) {}

void ChipConnection::startUp() {
    link_.setLineSettings(kAdapterLineSettings);
    if (link_.driver().hasCreateDeviceInfoList()) link_.EnumerateDevices();
    connectAdapter();
    if (link_.adapterOpen()) link_.PowerOn();

    link_.clearChipAddressList();
    session_.setChipAddress(0);
    link_.image().fill(0);
}

void ChipConnection::enumerateDevices() {
    link_.EnumerateDevices();
}

void ChipConnection::connectAdapter() {
    // Read at every attempt, so that the adapter remembered is always the file's.
    const std::string preferred = ini_.readString(kIniSection, kIniLastOpened).toStdString();
    if (link_.ConnectAdapter(preferred) == AdapterChoice::NewlyChosen)
        ini_.writeString(kIniSection, kIniLastOpened,
                         QString::fromStdString(link_.lastOpenedSerial()));
}

void ChipConnection::connectIfNeeded() {
    if (!link_.adapterOpen()) {
        link_.EnumerateDevices();
        connectAdapter();
    }
    if (!link_.adapterOpen()) link_.setChipPowered(false);
}

bool ChipConnection::checkConnection() {
    return link_.CheckConnection();
}

ScanResult ChipConnection::scan() {
    const int previousAddress = singleAddressOrNone(link_.chipAddressList());
    if (!link_.ScanBus()) return {};
    return adoptScannedChip(previousAddress);
}

ScanResult ChipConnection::adoptScannedChip(int previousAddress) {
    const auto& found = link_.chipAddressList();
    if (found.size() > 1) {
        link_.messages().show(MessageKind::Error, messages::kTooManyChips);
        return {Outcome::TooManyChips, false, messages::kTooManyChips};
    }
    if (found.size() != 1) return {};
    session_.setChipAddress(found.front());
    return {Outcome::Done, found.front() != previousAddress, {}};
}

ScanResult ChipConnection::powerOn() {
    link_.PowerOn();
    // PowerOn has just asked the adapter; its answer is in chipPowered. A chip found now is
    // read again even at its old address.
    if (!link_.chipPowered() || !link_.ScanBus()) return {};
    return adoptScannedChip(-1);
}

void ChipConnection::powerOff() {
    link_.PowerOff();
}

void ChipConnection::shutDown() {
    if (!link_.adapterOpen()) return;
    link_.PowerOff();
    link_.CloseAdapter();
}

bool ChipConnection::adapterOpen() const {
    return link_.adapterOpen();
}

bool ChipConnection::chipPowered() const {
    return link_.chipPowered();
}

const std::vector<std::uint8_t>& ChipConnection::chipsFound() const {
    return link_.chipAddressList();
}

const std::string& ChipConnection::adapterSerial() const {
    return link_.lastOpenedSerial();
}

}  // namespace qe::chip
