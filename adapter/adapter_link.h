#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "ftdi_driver.h"
#include "link_health.h"
#include "message_sink.h"
#include "register_image.h"

namespace qe {

// Line settings applied to every adapter opened; start-up fills them in.
struct LineSettings {
    std::uint32_t baudRate = 0;
    std::uint8_t wordLength = 0;
    std::uint8_t stopBits = 0;
    std::uint8_t parity = 0;
};

// Result of a single register read. A read that got no complete reply is not ok and its
// word is not the register's value; with no adapter open the word is 0.
struct RegisterRead {
    std::uint16_t word = 0;
    bool ok = false;
    explicit operator bool() const { return ok; }
};

// How the adapter answered a register write.
enum class WriteReply {
    Acknowledged,
    Refused,  // a reply of 0: the chip did not take the word, and may take it when asked again
    Missing,  // no adapter, no reply in time, or not the one byte a write gets back
};

// Which adapter ConnectAdapter opened.
enum class AdapterChoice {
    None,         // no adapter could be opened
    Preferred,    // the one whose serial number the caller asked for
    NewlyChosen,  // another one: the caller remembers its serial number for next time
};

namespace test {
struct AdapterLinkAccess;
}

// The open adapter and everything said over it: discovery, opening and loss of the
// adapter, and the byte command protocol of its firmware. One instance, owned by main().
// The connection state is read through accessors; the chip address is the caller's and
// comes with each command.
class AdapterLink {
public:
    static constexpr std::size_t kBufferSize = 65536;
    // The latency timer set on every adapter opened.
    static constexpr std::uint8_t kLatencyTimerMs = 16;
    // How long a real adapter may take on a loaded USB bus: the latency timer and then some.
    static constexpr std::uint32_t kLoadedBusReplyTimeoutMs = kLatencyTimerMs + 100;
    // After an exchange that did not get its whole reply, the rest may still come this long
    // after the exchange gave up; the next frame waits for it (see cleanLine).
    static constexpr std::uint32_t kStragglerMarginMs = 20;
    static constexpr std::uint32_t kStragglerWindowMs = kLatencyTimerMs + kStragglerMarginMs;

    AdapterLink(FtdiDriver& driver, Clock& clock, MessageSink& messages, RegisterImage& image);

    // Discovery and connection.
    void EnumerateDevices();
    // Opens and configures an adapter: the free one whose serial number is `preferredSerial`,
    // else the first free one.
    AdapterChoice ConnectAdapter(std::string_view preferredSerial);
    bool OpenAdapter(std::size_t index);
    bool CheckConnection();
    void CloseAdapter();

    // Adapter commands; each sends nothing and fails at once while no adapter is open.
    bool WriteRegister(std::uint8_t chipAddress, std::uint8_t reg, std::uint16_t value);
    // The same write, telling a refusal from no answer at all.
    WriteReply writeRegisterReply(std::uint8_t chipAddress, std::uint8_t reg, std::uint16_t value);
    RegisterRead ReadRegister(std::uint8_t chipAddress, std::uint8_t reg);
    bool ReadAllRegisters(std::uint8_t chipAddress);
    bool ReadOutputRegisters(std::uint8_t chipAddress);
    // When the last read of the output registers sent its frame (the chip samples then), on
    // this link's clock; the time it was attempted when no frame went out.
    std::int64_t outputsRequestedNs() const { return outputsRequestedNs_; }

    // --- Capture: the output registers read with frames in flight -------------------------
    // The latency timer a capture sets unless asked for another, and the most output frames
    // it keeps on the line.
    static constexpr std::uint8_t kCaptureLatencyMs = 2;
    static constexpr std::size_t kMaxFramesInFlight = 16;
    // Sets the open adapter's latency timer for a capture; restoreLatencyTimer() puts the
    // designed one back. FT_INVALID_HANDLE while no adapter is open.
    FtStatus setLatencyTimer(std::uint8_t ms);
    // The designed latency timer again on the adapter a capture changed, when that one is
    // still open (one opened since got the designed timer when it was opened). FT_OK when
    // nothing was changed or nothing is left to restore.
    FtStatus restoreLatencyTimer();
    bool latencyChanged() const { return latencyChangedOn_ != 0; }
    // Sends a request for the output registers without waiting for its reply; its stamp
    // waits with it. The line is made clean before the first of a run of requests. False when
    // no frame went out.
    bool sendOutputsRequest(std::uint8_t chipAddress);
    std::size_t outputsInFlight() const { return inFlight_.count; }
    // Waits for the reply to the oldest request in flight and takes its words into the image;
    // outputsRequestedNs() is then that request's stamp. On a missing or short reply every
    // request in flight is given up (see abandonOutputsInFlight) and the result is false.
    bool takeOutputsReply();
    // Gives up on every request in flight: what may still come for them is waited out and
    // discarded before the next frame.
    void abandonOutputsInFlight();
    // Sends `frames` output requests back to back and checks that all their replies come,
    // whole and nothing else, within the outputs' limit; the replies are discarded.
    bool probeOutputsInFlight(std::uint8_t chipAddress, std::size_t frames);

    bool ScanBus();
    void PowerOn();
    void PowerOff();
    bool QueryPower();
    bool SetAdapterParameters(unsigned high, unsigned low);

    FtdiDriver& driver() { return driver_; }
    Clock& clock() { return clock_; }
    MessageSink& messages() { return messages_; }
    RegisterImage& image() { return image_; }
    const RegisterImage& image() const { return image_; }
    // Replies, late replies, time-outs and failed reads since the adapter was last connected
    // or the counts were reset. Register exchanges before the first bus scan after connecting
    // are left out: until a scan has found a chip they may well address none.
    const LinkHealth& health() const { return health_; }
    void resetHealth() { health_.reset(clock_.nowNs()); }

    // The least time any reply is waited for; 0 (the default) keeps every designed limit, as
    // the window does. Front ends that read on their own pass kLoadedBusReplyTimeoutMs or
    // what the user asked for: a reply that comes after its designed limit but within this
    // time is then taken, and counted as late.
    void setReplyTimeoutMs(std::uint32_t ms) { replyTimeoutMs_ = ms; }
    std::uint32_t replyTimeoutMs() const { return replyTimeoutMs_; }

    // Connection state.
    FtHandle adapterHandle() const { return AdapterHandle; }
    bool adapterOpen() const { return AdapterHandle != 0; }
    bool chipPowered() const { return ChipPowered; }
    // The poll cycle forgets the supply state while no adapter is open.
    void setChipPowered(bool powered) { ChipPowered = powered; }
    const std::vector<std::uint8_t>& chipAddressList() const { return ChipAddressList; }
    void clearChipAddressList() { ChipAddressList.clear(); }
    const std::vector<DeviceInfoNode>& deviceInfoList() const { return DeviceInfoList; }
    std::uint32_t deviceCount() const { return DeviceCount; }
    // The serial number of the adapter last asked for or chosen.
    const std::string& lastOpenedSerial() const { return LastOpenedSerial; }
    const LineSettings& lineSettings() const { return lineSettings_; }
    void setLineSettings(const LineSettings& settings) { lineSettings_ = settings; }

private:
    void configureOpenedAdapter();
    // Shows the failed enumeration calls that the last enumeration did not show already.
    void reportEnumerationErrors(std::vector<FtdiDriver::EnumerationFailure> errors);

    // Transport.
    void PutTxByte(std::uint8_t byte);
    // Sends the first `length` bytes of TxBuffer; whatever the driver does not take is purged.
    void SendFrame(std::uint32_t length);
    struct Reply {
        std::uint32_t count = 0;  // bytes the driver delivered into RxBuffer
        bool failed = false;      // the read failed and was reported
    };
    Reply ReadReply(std::uint32_t count);
    FtStatus QueryRxQueue();
    void PurgeRx();
    void PurgeTx();
    // Makes sure no byte of an earlier exchange is taken as the answer to the next frame:
    // first waits out what an exchange that did not get its whole reply may still receive,
    // then empties the receive queue. A chip command (one that addresses a chip) is counted
    // in the link's health only once a bus scan has run. False when the queue could not be
    // looked at.
    bool cleanLine(bool chipCommand);
    // What an exchange that did not get its whole reply may still receive: up to `bytes`
    // (kUnknownStragglers when nobody can tell) in answer to the frame sent at frameNs.
    static constexpr std::uint32_t kUnknownStragglers = UINT32_MAX;
    void expectStragglers(std::uint32_t bytes, std::int64_t frameNs);
    // The bytes still owed when `expected` were asked for and `seen` have come.
    static std::uint32_t owedAfter(std::uint32_t expected, std::uint32_t seen) {
        return expected > seen ? expected - seen : 0;
    }
    // A designed time limit, or the reply time-out when that is longer.
    std::uint32_t limitMs(std::uint32_t designedMs) const {
        return designedMs > replyTimeoutMs_ ? designedMs : replyTimeoutMs_;
    }
    struct Wait {
        bool queueFailed = false;
        std::uint32_t elapsedMs = 0;
        bool inTime = false;  // the whole reply came within the limit
    };
    // Waits until the receive queue holds `expected` bytes or the tick count has moved more
    // than limitMs(designedMs) past the tick of startNs (a reading of clock_). A reply after
    // designedMs counts as late.
    Wait awaitReply(std::uint32_t expected, std::uint32_t designedMs, std::int64_t startNs);
    enum class ScanReply { Incomplete, Complete, Malformed };
    // Appends the first `count` bytes of RxBuffer to the scanned addresses, up to the end
    // marker; Malformed when they are not ascending addresses closed by the marker.
    ScanReply takeScannedAddresses(std::uint32_t count);
    // Builds the frame in TxBuffer and sends it.
    void sendCommand(std::initializer_list<std::uint8_t> frame);

    friend struct test::AdapterLinkAccess;

    FtdiDriver& driver_;
    Clock& clock_;
    MessageSink& messages_;
    RegisterImage& image_;
    LinkHealth health_;
    // Whether the exchange under way counts in health_ (see health()).
    bool counting_ = true;
    bool timeoutCounted_ = false;  // the exchange under way counted a time-out
    bool scannedSinceConnect_ = false;
    std::uint32_t replyTimeoutMs_ = 0;
    std::int64_t outputsRequestedNs_ = 0;

    struct Stragglers {
        std::uint32_t bytes = 0;
        std::int64_t frameNs = 0;
        std::int64_t clearAtNs = 0;  // what has not come by then is not waited for
        bool countedAsTimeout = false;
    };
    // Set by an exchange that did not get its whole reply, cleared by the next cleanLine().
    std::optional<Stragglers> stragglers_;

    // The stamps of the output requests in flight, oldest first (a ring: no allocation).
    struct InFlight {
        std::array<std::int64_t, kMaxFramesInFlight> stampNs{};
        std::size_t first = 0;
        std::size_t count = 0;
    };
    InFlight inFlight_;
    // The adapter whose latency timer a capture changed; 0: none.
    FtHandle latencyChangedOn_ = 0;

    // The failures of the last enumeration, already told; empty after one that went well.
    std::vector<FtdiDriver::EnumerationFailure> lastEnumerationErrors_;
    // Serials of listed devices whose opening failed and was already told (see ConnectAdapter).
    std::vector<std::string> failedSerials_;

    FtHandle AdapterHandle = 0;
    bool ChipPowered = false;
    std::vector<std::uint8_t> ChipAddressList;
    std::vector<DeviceInfoNode> DeviceInfoList;
    std::uint32_t DeviceCount = 0;
    std::string LastOpenedSerial;
    LineSettings lineSettings_;

    std::vector<std::uint8_t> TxBuffer;
    std::uint32_t TxCount = 0;  // bytes placed in TxBuffer and not yet taken by the driver
    std::vector<std::uint8_t> RxBuffer;
    std::uint32_t RxQueueBytes = 0;
};

}  // namespace qe
