#include "chip.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "adapter_identity.h"

namespace qe::chip {

Chip::Chip(FtdiDriver& driver, Clock& clock, MessageSink& boxes, AdapterPolicy policy)
    : driver_(driver),
      clock_(clock),
      messages_(boxes),
      link_(driver, clock, messages_, image_),
      session_(link_),
      connection_(link_, session_, policy.iniFilePath),
      policy_(std::move(policy)) {}

template <typename Operation>
auto Chip::explained(Operation operation) {
    messages_.begin();
    auto outcome = operation();
    if constexpr (std::is_same_v<decltype(outcome), Result>) {
        return messages_.explain(std::move(outcome));
    } else {
        outcome.result = messages_.explain(std::move(outcome.result));
        return outcome;
    }
}

std::string Chip::adapterBackend() const {
    for (const DeviceInfoNode& node : link_.deviceInfoList())
        if (node.serialNumber() == link_.lastOpenedSerial())
            if (std::string backend = driver_.backendOf(node); !backend.empty()) return backend;
    return {};
}

// --- The adapter and the bus ---------------------------------------------------------------

void Chip::startUp() {
    connection_.startUp();
}

void Chip::enumerateDevices() {
    connection_.enumerateDevices();
}

void Chip::connectIfNeeded() {
    connection_.connectIfNeeded();
}

bool Chip::checkConnection() {
    return connection_.checkConnection();
}

ScanResult Chip::scan() {
    return connection_.scan();
}

ScanResult Chip::powerOn() {
    return connection_.powerOn();
}

void Chip::powerOff() {
    connection_.powerOff();
}

void Chip::shutDown() {
    connection_.shutDown();
}

Result Chip::openAdapter() {
    Result result = explained([this] { return openPolicyAdapter(); });
    // Without a box of the link's own, nothing was there to open.
    if (!result.ok() && result.reason.empty()) result.reason = "no QE7204 adapter found";
    return result;
}

Result Chip::openPolicyAdapter() {
    link_.EnumerateDevices();
    const std::string& serial = policy_.serial;
    if (!serial.empty()) {
        const auto& devices = link_.deviceInfoList();
        const bool listed =
            std::any_of(devices.begin(), devices.end(), [&](const DeviceInfoNode& node) {
                return describesAdapter(node) && node.serialNumber() == serial;
            });
        if (!listed)
            return Result::failed(Outcome::NoChip,
                                  "no QE7204 adapter with serial number " + serial);
    }
    link_.setLineSettings(kAdapterLineSettings);
    const AdapterChoice choice = link_.ConnectAdapter(serial);
    if (choice == AdapterChoice::None) return Result::failed(Outcome::NoChip);
    if (!serial.empty() && choice != AdapterChoice::Preferred) {
        link_.CloseAdapter();
        return Result::failed(Outcome::NoChip, "the adapter " + serial + " could not be opened");
    }
    return Result::done();
}

Result Chip::selectChip(std::uint8_t address) {
    const auto& found = chipsFound();
    if (std::find(found.begin(), found.end(), address) == found.end())
        return Result::failed(Outcome::NoChip,
                              "no chip answers at address " + std::to_string(address));
    session_.setChipAddress(address);
    return Result::done();
}

void Chip::closeAdapter() {
    link_.CloseAdapter();
}

// --- The chip's settings -------------------------------------------------------------------

Result Chip::refreshSettings() {
    return explained([this] { return session_.refreshSettings(); });
}

Result Chip::changeSetting(const SettingGroup& group, int item) {
    return explained([&] { return session_.changeSetting(group, item); });
}

Result Chip::changeSetting(std::string_view key, int item) {
    return explained([&] { return session_.changeSetting(key, item); });
}

Result Chip::programEeprom() {
    return explained([this] { return session_.programEeprom(); });
}

Result Chip::readEeprom() {
    return explained([this] { return session_.readEeprom(); });
}

ValueResult<std::uint8_t> Chip::checkAddress(std::string_view text) {
    return explained([&] { return session_.checkAddress(text); });
}

Result Chip::setAddress(std::uint8_t address) {
    return explained([&] { return session_.setAddress(address); });
}

Result Chip::presetZero(std::string_view text) {
    return explained([&] { return session_.presetZero(text); });
}

ValueResult<std::uint16_t> Chip::zeroAtCurrentPosition(const char* failureMessage) {
    return explained([&] { return session_.zeroAtCurrentPosition(failureMessage); });
}

ValueResult<std::uint16_t> Chip::zeroAtCurrentPosition() {
    return explained([this] { return session_.zeroAtCurrentPosition(); });
}

Result Chip::setHysteresis(int item) {
    return explained([&] { return session_.setHysteresis(item); });
}

Result Chip::loadFile(const std::filesystem::path& path, LoadAccess access) {
    return explained([&] { return session_.loadFile(path, access); });
}

Result Chip::writeLoadedWords() {
    return explained([this] { return session_.writeLoadedWords(); });
}

Result Chip::saveFile(const std::filesystem::path& path) {
    return explained([&] { return session_.saveFile(path); });
}

Result Chip::readStoredSettings() {
    return explained([this] { return session_.readStoredSettings(); });
}

Result Chip::readOutputs() {
    return explained([this] { return session_.readOutputs(); });
}

}  // namespace qe::chip
