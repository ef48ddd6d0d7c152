#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "adapter_link.h"
#include "chip_connection.h"
#include "chip_result.h"
#include "chip_session.h"
#include "configuration_file.h"
#include "operation_messages.h"
#include "readout_loop.h"
#include "register_image.h"
#include "register_map.h"

namespace qe::test {
struct ChipAccess;
}

namespace qe::chip {

// How the front end wants the adapter chosen.
struct AdapterPolicy {
    // The window's: the ini file whose "Port Options" / "Last Opened" names the adapter
    // preferred, read at every connection attempt and rewritten when another one is chosen.
    std::string iniFilePath;
    // The command line's --serial: only the adapter with this serial number will do (see
    // openAdapter); empty: the first free one.
    std::string serial;

    static AdapterPolicy rememberedIn(std::string iniFilePath) {
        return {std::move(iniFilePath), {}};
    }
    static AdapterPolicy onlySerial(std::string serial) { return {{}, std::move(serial)}; }
};

// The QE7204 on the adapter: the one device object both front ends hold. It owns the adapter
// link, the register mirror with its derived values, the chip address and the adapter
// policy, and makes every exchange; a front end asks it for an operation, presents the
// result and reads the state through the accessors here, none of which hands out the link.
//
// The boxes the window shows go to the MessageSink given, at the point of the exchange
// where the window always showed them; a result repeats its text as the reason, or the link's
// own text and the failed driver call when the operation has none (see Result).
class Chip {
public:
    Chip(FtdiDriver& driver, Clock& clock, MessageSink& boxes, AdapterPolicy policy);
    Chip(const Chip&) = delete;
    Chip& operator=(const Chip&) = delete;

    // --- State, read-only ------------------------------------------------------------------
    std::uint8_t chipAddress() const { return session_.chipAddress(); }
    const RegisterImage& image() const { return image_; }
    const DerivedValues& derived() const { return session_.derived(); }
    bool adapterOpen() const { return link_.adapterOpen(); }
    bool chipPowered() const { return link_.chipPowered(); }
    // The chips that answered the last scan; exactly one is the operable case.
    const std::vector<std::uint8_t>& chipsFound() const { return link_.chipAddressList(); }
    bool oneChip() const { return chipsFound().size() == 1; }
    // The attached devices as the last enumeration listed them.
    const std::vector<DeviceInfoNode>& devices() const { return link_.deviceInfoList(); }
    // The serial number of the adapter last asked for or chosen.
    const std::string& adapterSerial() const { return link_.lastOpenedSerial(); }
    // The backend that lists the adapter last chosen ("d2xx", "tty", "libftdi"); empty when
    // the driver does not tell.
    std::string adapterBackend() const;
    const LinkHealth& health() const { return link_.health(); }
    void resetHealth() { link_.resetHealth(); }
    // The least time any reply is waited for (see AdapterLink::setReplyTimeoutMs): 0, the
    // window's, keeps every designed limit; front ends that read on their own wait longer.
    void setReplyTimeoutMs(std::uint32_t ms) { link_.setReplyTimeoutMs(ms); }
    const std::string& iniFilePath() const { return connection_.iniFilePath(); }
    Clock& clock() const { return clock_; }

    // --- The adapter and the bus (the window's poll cycle and power buttons) -----------------
    // FormCreate's adapter part: line settings, enumeration, connection with the adapter
    // policy, the supply on when an adapter opened; then no chip known, address 0 and a
    // mirror of zeros.
    void startUp();
    void enumerateDevices();
    // While no adapter is open: enumerate and try to connect; still none: supply off.
    void connectIfNeeded();
    // Whether the open adapter still answers (liveness); a lost one is let go.
    bool checkConnection();
    // The bus scan and the one-chip rule.
    ScanResult scan();
    // "Power ON": the supply on and, when the adapter reports it on, a scan.
    ScanResult powerOn();
    void powerOff();
    // At exit: the supply off and the adapter closed, when one is open.
    void shutDown();

    // --- The adapter and the bus (the command line) ------------------------------------------
    // Lists the devices and opens the adapter the policy names (its serial number: only that
    // one), with the line settings. No chip is touched.
    Result openAdapter();
    // Among several chips that answered the last scan, the one at `address` becomes the chip.
    Result selectChip(std::uint8_t address);
    // Closes the adapter and leaves the chip's supply as it is.
    void closeAdapter();

    // --- The chip's settings (see ChipSession for each operation's exchanges) -----------------
    Result refreshSettings();
    Result changeSetting(const SettingGroup& group, int item);
    Result changeSetting(std::string_view key, int item);
    Result programEeprom();
    Result readEeprom();
    ValueResult<std::uint8_t> checkAddress(std::string_view text);
    Result setAddress(std::uint8_t address);
    Result presetZero(std::string_view text);
    ValueResult<std::uint16_t> zeroAtCurrentPosition(const char* failureMessage);
    ValueResult<std::uint16_t> zeroAtCurrentPosition();
    Result setHysteresis(int item);
    Result loadFile(const std::filesystem::path& path,
                    LoadAccess access = LoadAccess::ReadAndWrite);
    Result writeLoadedWords();
    Result saveFile(const std::filesystem::path& path);
    // EEPROM words 0..3 into the mirror, for comparing them with the working words.
    Result readStoredSettings();
    // The four output words into the mirror (the live readout's exchange); the readout loop
    // makes it for everything that watches.
    Result readOutputs();
    // When the last read of the output words sent its request (see AdapterLink).
    std::int64_t outputsRequestedNs() const { return link_.outputsRequestedNs(); }
    // The one readout loop: stamps, decodes and publishes every read of the output words.
    ReadoutLoop& readouts() { return readouts_; }
    // The derived values computed from the mirror, as the settings panel shows them once it
    // is filled from it; the window asks as it fills the panel, the command line once the
    // settings are read.
    void deriveFromMirror() { session_.deriveFromMirror(); }

private:
    friend struct test::ChipAccess;
    // The capture's latency timer and requests in flight go through the link.
    friend class CaptureSession;
    friend class ReadoutLoop;

    Result openPolicyAdapter();
    // Runs one operation with its messages kept for the result's reason.
    template <typename Operation>
    auto explained(Operation operation);

    const FtdiDriver& driver_;
    Clock& clock_;
    OperationMessages messages_;
    RegisterImage image_{};
    AdapterLink link_;
    ChipSession session_;
    ChipConnection connection_;
    AdapterPolicy policy_;
    ReadoutLoop readouts_{*this};
};

}  // namespace qe::chip
