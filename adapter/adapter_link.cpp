#include "adapter_link.h"

#include <algorithm>

#include <QString>

#include "adapter_commands.h"
#include "adapter_identity.h"
#include "log_categories.h"

namespace qe {

namespace {

// What enumeration gives when the library lacks FT_CreateDeviceInfoList.
constexpr FtStatus kNoDeviceListStatus = FT_DEVICE_NOT_OPENED_FOR_WRITE;

constexpr std::uint8_t kBitModeMask = 0;
constexpr std::uint8_t kBitModeReset = 0;
constexpr std::uint32_t kReadTimeoutMs = 2000;
constexpr std::uint32_t kWriteTimeoutMs = 2000;
constexpr unsigned kAdapterParameterHigh = 15;
constexpr unsigned kAdapterParameterLow = 0;

bool isFree(const DeviceInfoNode& node) {
    return node.DeviceHandle == 0;
}

// A closed handle stays out of the list, so that the device counts as free again.
void forgetHandle(std::vector<DeviceInfoNode>& nodes, FtHandle handle) {
    for (DeviceInfoNode& node : nodes)
        if (node.DeviceHandle == handle) node.DeviceHandle = 0;
}

std::string serialOf(const std::vector<DeviceInfoNode>& nodes, FtHandle handle) {
    for (const DeviceInfoNode& node : nodes)
        if (node.DeviceHandle == handle) return node.serialNumber();
    return {};
}

bool contains(const std::vector<std::string>& serials, const std::string& serial) {
    return std::find(serials.begin(), serials.end(), serial) != serials.end();
}

bool isListed(const std::vector<DeviceInfoNode>& nodes, const std::string& serial) {
    return std::any_of(nodes.begin(), nodes.end(),
                       [&](const DeviceInfoNode& node) { return node.serialNumber() == serial; });
}

}  // namespace

AdapterLink::AdapterLink(FtdiDriver& driver, Clock& clock, MessageSink& messages,
                         RegisterImage& image)
    : driver_(driver),
      clock_(clock),
      messages_(messages),
      image_(image),
      TxBuffer(kBufferSize),
      RxBuffer(kBufferSize) {}

void AdapterLink::EnumerateDevices() {
    std::uint32_t count = 0;
    const FtStatus created = driver_.hasCreateDeviceInfoList() ? driver_.createDeviceInfoList(count)
                                                               : kNoDeviceListStatus;
    // Backends of a composite that failed while others listed their devices are told too,
    // with the same texts.
    std::vector<FtdiDriver::EnumerationFailure> errors = driver_.enumerationFailures();
    if (created != FT_OK) {
        // Without the vendor library there is nothing to list, and nothing worth a message.
        if (created != kNoDeviceListStatus)
            errors.insert(errors.begin(), {"FT_CreateDeviceInfoList", created});
        reportEnumerationErrors(std::move(errors));
        return;
    }
    DeviceCount = count;
    // Never an empty list: its data() may be null, which a library may refuse as a bad
    // parameter on every enumeration while nothing is attached.
    DeviceInfoList.resize(std::max<std::uint32_t>(DeviceCount, 1));
    const FtStatus listed = driver_.getDeviceInfoList(DeviceInfoList.data(), DeviceCount);
    DeviceInfoList.resize(std::min<std::size_t>(DeviceCount, DeviceInfoList.size()));
    if (listed != FT_OK) {
        errors.insert(errors.begin(), {"FT_GetDeviceInfoList", listed});
        reportEnumerationErrors(std::move(errors));
        return;
    }
    reportEnumerationErrors(std::move(errors));
    // An unplugged device may come back mended; its next failure is news again.
    std::erase_if(failedSerials_,
                  [this](const std::string& serial) { return !isListed(DeviceInfoList, serial); });
}

void AdapterLink::reportEnumerationErrors(std::vector<FtdiDriver::EnumerationFailure> errors) {
    // Enumeration runs every second and on every tick without an adapter: a failure that
    // persists would otherwise bring a modal box each time.
    for (const FtdiDriver::EnumerationFailure& error : errors)
        if (std::find(lastEnumerationErrors_.begin(), lastEnumerationErrors_.end(), error) ==
            lastEnumerationErrors_.end())
            ReportDriverError(messages_, error.label, error.status);
    lastEnumerationErrors_ = std::move(errors);
}

AdapterChoice AdapterLink::ConnectAdapter(std::string_view preferredSerial) {
    AdapterHandle = 0;
    LastOpenedSerial = std::string(preferredSerial);  // a copy: the view may be of it
    const QString preferred = QString::fromUtf8(LastOpenedSerial);

    // The poll cycle calls this on every tick while no adapter is open, so that an adapter
    // another program lets go of is taken up. A device that cannot be opened is therefore
    // tried again and again: its boxes come only with its first failure (see OpenAdapter),
    // and within one call it is not tried twice. One whose line cannot be set counts as
    // failed too (see configureOpenedAdapter).
    std::vector<bool> failedNow(DeviceInfoList.size(), false);
    const auto tryToOpen = [&](std::size_t i) {
        const bool failedBefore = contains(failedSerials_, DeviceInfoList[i].serialNumber());
        if (OpenAdapter(i)) {
            configureOpenedAdapter();
            if (AdapterHandle != 0) return true;
        } else if (!failedBefore) {
            messages_.show(MessageKind::Plain, "Port can not be opened");
        }
        failedNow[i] = true;
        return false;
    };

    // First the adapter used last time. The pass ends with the first one opened: another
    // device with the same serial number would otherwise be opened too and its handle lost.
    for (std::size_t i = 0; i < DeviceInfoList.size() && AdapterHandle == 0; ++i) {
        const DeviceInfoNode& node = DeviceInfoList[i];
        if (!describesAdapter(node) || QString::fromUtf8(node.serialNumber()) != preferred ||
            !isFree(node))
            continue;
        tryToOpen(i);
    }
    if (AdapterHandle != 0) return AdapterChoice::Preferred;

    // Otherwise the first free adapter, which then becomes the one remembered.
    for (std::size_t i = 0; i < DeviceInfoList.size() && AdapterHandle == 0; ++i) {
        const DeviceInfoNode& node = DeviceInfoList[i];
        if (!describesAdapter(node) || !isFree(node) || failedNow[i]) continue;
        if (tryToOpen(i)) LastOpenedSerial = node.serialNumber();
    }
    return AdapterHandle != 0 ? AdapterChoice::NewlyChosen : AdapterChoice::None;
}

bool AdapterLink::OpenAdapter(std::size_t index) {
    if (index >= DeviceInfoList.size()) return false;
    DeviceInfoNode& node = DeviceInfoList[index];
    char serial[sizeof node.SerialNumber + 1] = {};
    const std::string serialText = node.serialNumber();
    serialText.copy(serial, sizeof node.SerialNumber);

    // A device already known to fail is tried quietly; only a success is news.
    const bool quiet = contains(failedSerials_, serialText);
    const auto reportFailure = [&](const char* label, FtStatus status,
                                   const std::string& advice = {}) {
        if (!quiet) ReportDriverError(messages_, label, status, advice);
        if (!contains(failedSerials_, serialText)) failedSerials_.push_back(serialText);
    };

    const FtStatus opened = driver_.openEx(serial, kOpenBySerialNumber, node.DeviceHandle);
    if (opened != FT_OK) {
        qCDebug(lcLink).noquote() << "adapter" << serial << "does not open, status" << opened;
        // A device listed but not allowed to this user: the box also says what to do.
        reportFailure("Open_USB_Device_By_Serial_Number", opened, driver_.openFailureAdvice());
        return false;
    }
    // Told once it is known whether the device opens, so that a quiet retry stays quiet.
    const FtStatus latency =
        driver_.setLatencyTimer(node.DeviceHandle, AdapterLink::kLatencyTimerMs);
    const FtStatus bitMode = driver_.setBitMode(node.DeviceHandle, kBitModeMask, kBitModeReset);
    if (bitMode != FT_OK) {
        if (!quiet) ReportDriverError(messages_, "FT_SetLatencyTimer ", latency);
        reportFailure("FT_SetBitMode ", bitMode);
        // Not made the adapter, so nothing else would ever close it. Its close status adds
        // nothing to the bit-mode failure.
        driver_.close(node.DeviceHandle);
        forgetHandle(DeviceInfoList, node.DeviceHandle);
        return false;
    }
    ReportDriverError(messages_, "FT_SetLatencyTimer ", latency);
    TxCount = 0;
    AdapterHandle = node.DeviceHandle;
    return true;
}

void AdapterLink::configureOpenedAdapter() {
    health_.restart(clock_.nowNs());
    scannedSinceConnect_ = false;
    stragglers_.reset();  // a new adapter owes nothing
    inFlight_ = {};
    // A port left at another word format or speed garbles every exchange until the adapter
    // is unplugged: a line that cannot be set is a failed open. Its one box, like an open's,
    // comes only with the device's first failure; the next connection attempt tries again.
    const std::string serial = serialOf(DeviceInfoList, AdapterHandle);
    const char* label = "FT_SetDataCharacteristics";
    FtStatus line = driver_.setDataCharacteristics(AdapterHandle, lineSettings_.wordLength,
                                                   lineSettings_.stopBits, lineSettings_.parity);
    if (line == FT_OK) {
        label = "FT_SetBaudRate";
        line = driver_.setBaudRate(AdapterHandle, lineSettings_.baudRate);
    }
    if (line != FT_OK) {
        if (!contains(failedSerials_, serial)) {
            ReportDriverError(messages_, label, line);
            failedSerials_.push_back(serial);
        }
        driver_.close(AdapterHandle);  // its status adds nothing to the line's failure
        forgetHandle(DeviceInfoList, AdapterHandle);
        AdapterHandle = 0;
        return;
    }
    // Connected: a later failure of this device is news again.
    std::erase(failedSerials_, serial);
    qCDebug(lcLink).noquote() << "adapter" << serial.c_str() << "connected";
    ReportDriverError(messages_, "FT_SetTimeouts",
                      driver_.setTimeouts(AdapterHandle, kReadTimeoutMs, kWriteTimeoutMs));
    SetAdapterParameters(kAdapterParameterHigh, kAdapterParameterLow);
    ChipPowered = QueryPower();
}

bool AdapterLink::CheckConnection() {
    if (AdapterHandle == 0) return false;
    std::uint32_t bytesRead = 0;
    if (driver_.read(AdapterHandle, RxBuffer.data(), 0, bytesRead) == FT_OK) return true;

    // The device is gone: release the handle without a message, since its close may well
    // fail too and the user sees the loss in the status bar.
    qCDebug(lcLink).noquote() << "adapter" << serialOf(DeviceInfoList, AdapterHandle).c_str()
                              << "lost";
    driver_.close(AdapterHandle);
    forgetHandle(DeviceInfoList, AdapterHandle);
    AdapterHandle = 0;
    inFlight_ = {};
    return false;
}

void AdapterLink::CloseAdapter() {
    if (AdapterHandle == 0) return;
    ReportDriverError(messages_, "FT_Close", driver_.close(AdapterHandle));
    // A closed handle must never be used again.
    forgetHandle(DeviceInfoList, AdapterHandle);
    AdapterHandle = 0;
    inFlight_ = {};
}

}  // namespace qe
