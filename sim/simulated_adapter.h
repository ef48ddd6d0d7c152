#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "adapter_commands.h"
#include "adapter_firmware.h"
#include "chip_bus.h"
#include "clock.h"
#include "ftdi_driver.h"
#include "receive_queue.h"
#include "transcript.h"
#include "virtual_magnet.h"

namespace qe::sim {

// One USB adapter on the bench: its FTDI USB chip (open/closed, latency timer, wire format,
// time-outs, receive queue), its firmware, the chip bus behind it and the magnet over the chips.
//
// Timing on the clock given: a frame reaches the firmware after its wire time; a reply's
// bytes reach the host's receive queue after their wire time and then the latency timer
// (a full USB packet of 62 bytes goes at once); EEPROM writes take 5 ms before their
// acknowledgement. setInstantReplies(true) makes all of it 0.
//
// The line starts at 250,000 baud, 8 data bits and 2 stop bits, the firmware's own settings;
// settings the tool makes change the wire time, they do not garble the bytes. Time-outs belong
// to a handle: every open starts without them, and with the default latency timer.
//
// Everything is called from one thread (the tool's window thread, or a test).
class SimulatedAdapter {
public:
    static constexpr std::uint8_t kDefaultLatencyMs = 16;

    SimulatedAdapter(Clock& clock, Transcript& transcript, std::string serialNumber,
                     std::string description = kAdapterDescription);
    SimulatedAdapter(const SimulatedAdapter&) = delete;
    SimulatedAdapter& operator=(const SimulatedAdapter&) = delete;

    const std::string& serialNumber() const { return serial_; }
    const std::string& description() const { return description_; }

    // --- the bench: magnet and chips -------------------------------------------------------
    VirtualMagnet& magnet() { return magnet_; }
    ChipBus& bus() { return bus_; }
    Qe7204Chip& addChip(std::uint8_t address) { return bus_.addChip(address); }
    bool removeChip(std::uint8_t address) { return bus_.removeChip(address); }
    bool supplyOn() const { return firmware_.supplyOn(); }
    std::uint8_t parameters() const { return firmware_.parameters(); }

    // --- faults, each one call; the "next reply" ones apply once ----------------------------
    // The USB cable: unplugged, every call with the open handle fails with FT_IO_ERROR and the
    // device leaves the enumeration; the firmware loses power (chip supply off). Plugged back,
    // the device is listed and free to open again; the old handle stays dead (FT_INVALID_HANDLE).
    void unplug();
    void replug();
    // Unplugged as the host starts its write after the next `writes` ones (0: the next write).
    void unplugAtWrite(unsigned writes) { writesBeforeUnplug_ = writes; }
    bool plugged() const { return plugged_; }

    void loseNextReply();
    void delayNextReply(std::uint32_t ms);
    void shortenNextReply(std::size_t bytesDropped);
    void addSurplusBytes(std::size_t count, std::uint8_t value = 0xA5);  // to the next reply
    // Every reply to a frame that starts with these bytes ({'V'} the outputs, {'Z', 4} the
    // supply answer) comes that much later, until the faults are cleared.
    void delayRepliesTo(std::vector<std::uint8_t> framePrefix, std::uint32_t ms);

    // A cut write: the next write, or every write, takes only its first `accepted` bytes. Like
    // the driver whose write time-out passed, FT_Write waits that time-out (none when none is
    // set), then reports the count taken with FT_OK; the rest never reaches the firmware.
    void acceptPartOfNextWrite(std::uint32_t accepted) { nextWriteLimit_ = accepted; }
    void acceptPartOfEveryWrite(std::uint32_t accepted) { everyWriteLimit_ = accepted; }

    // Writes acknowledged with 0 and not done; refuseEveryNthWrite(0) turns that one off.
    void refuseWritesTo(std::uint8_t reg) { firmware_.refuseWritesTo(reg); }
    void refuseEveryNthWrite(unsigned n) { firmware_.refuseEveryNthWrite(n); }

    // FT_OpenEx fails with that status (FT_OK clears it).
    void failOpen(FtStatus status) { openFailure_ = status; }
    // Every later call of that D2XX name ("FT_SetLatencyTimer", "FT_SetBitMode",
    // "FT_SetBaudRate", "FT_Read", ...) fails with the status (FT_OK clears it).
    void failCall(const std::string& name, FtStatus status);

    // Removes every fault armed above; does not plug the adapter back.
    void clearFaults();

    void setInstantReplies(bool instant);

    // A firmware that does not take frames back to back: a byte that comes in while its
    // reply is still going out is lost, so only one frame at a time gets an answer.
    void takeOneFrameAtATime(bool one) { oneFrameAtATime_ = one; }

    // How the USB chip and the bus pace the replies (without instant replies).
    enum class Pace {
        WholeLatency,  // every short reply a whole latency period after its last byte
        LatencyTimer,  // short replies when the latency timer next runs out, as an FT232R sends
                       // them: anywhere in (0, latency] after their last byte
        LoadedBus,     // that, and now and then 10 to 40 ms more, as on a busy bus or machine
    };
    // The loaded bus draws its delays from a generator with this seed.
    void setPace(Pace pace, std::uint32_t seed = 1);
    Pace pace() const { return pace_; }

    // --- what the tool set ------------------------------------------------------------------
    bool isOpen() const { return plugged_ && handle_ != 0; }
    FtHandle handle() const { return handle_; }
    std::uint8_t latencyTimerMs() const { return latencyMs_; }
    std::uint32_t baudRate() const { return wire_.baud; }
    std::uint32_t readTimeoutMs() const { return timeouts_.readMs; }    // 0: none set
    std::uint32_t writeTimeoutMs() const { return timeouts_.writeMs; }  // 0: none set
    std::size_t writeCount() const { return writes_; }  // FT_Write calls, since plugged in
    UsbTiming timing() const;

    // --- device side of the driver (SimulatedDriver routes its calls here) ------------------
    FtStatus open(FtHandle newHandle);
    FtStatus close(FtHandle handle);
    FtStatus setLatencyTimer(FtHandle handle, std::uint8_t milliseconds);
    FtStatus setBitMode(FtHandle handle, std::uint8_t mask, std::uint8_t mode);
    FtStatus setDataCharacteristics(FtHandle handle, std::uint8_t wordLength, std::uint8_t stopBits,
                                    std::uint8_t parity);
    FtStatus setBaudRate(FtHandle handle, std::uint32_t baud);
    FtStatus setTimeouts(FtHandle handle, std::uint32_t readMs, std::uint32_t writeMs);
    FtStatus write(FtHandle handle, const std::uint8_t* data, std::uint32_t count,
                   std::uint32_t& written);
    // Waits on the clock until count bytes have arrived or the read time-out passes; without
    // a time-out it waits only for the bytes in flight. Count 0 reports whether it still answers.
    FtStatus read(FtHandle handle, std::uint8_t* data, std::uint32_t count,
                  std::uint32_t& bytesRead);
    FtStatus getQueueStatus(FtHandle handle, std::uint32_t& rxBytes);
    FtStatus purge(FtHandle handle, std::uint32_t mask);
    // Blocks, in real time, until `count` bytes have become visible in the receive queue or
    // the clock reaches deadlineNs. Only for a clock that runs by itself.
    FtStatus waitForReceived(FtHandle handle, std::uint32_t count, std::int64_t deadlineNs,
                             std::uint32_t& rxBytes);

private:
    // How bytes go over the serial line; a freshly plugged adapter starts with these.
    struct WireFormat {
        std::uint32_t baud = 250'000;
        std::uint8_t wordLength = 8;
        std::uint8_t stopBits = 2;
        std::uint8_t parity = 0;
    };
    struct Timeouts {
        std::uint32_t readMs = 0;
        std::uint32_t writeMs = 0;
    };
    struct NextReplyFaults {
        bool lose = false;
        std::int64_t delayNs = 0;
        std::size_t dropBytes = 0;
        std::size_t surplusBytes = 0;
        std::uint8_t surplusValue = 0;
    };

    // Status of a call with that handle before it does anything; logs failures.
    FtStatus admit(FtHandle handle, const char* call, const std::string& text);
    void deliver(AdapterFirmware::Reply reply);
    // The extra time a loaded bus adds to the next reply; mostly none.
    std::int64_t busLoadNs();
    // Every change of the receive queue goes through here, so that a waiter hears of it.
    template <typename Change>
    void changeRx(Change change);
    void log(Transcript::Kind kind, std::string text);
    void logCall(const std::string& text, FtStatus status);
    // Bytes the current write may take; arming a next-write cut is used up here.
    std::uint32_t acceptedOf(std::uint32_t count);
    void resetLine();

    Clock& clock_;
    Transcript& transcript_;
    std::string serial_;
    std::string description_;
    VirtualMagnet magnet_;
    ChipBus bus_;
    AdapterFirmware firmware_;
    ReceiveQueue rx_;
    // Signalled when the receive queue gains or loses bytes (it changes under the mutex).
    // Between signals a waiter knows from the latency model when the byte it waits for
    // becomes visible, and sleeps until then.
    std::mutex rxMutex_;
    std::condition_variable rxChanged_;

    bool plugged_ = true;
    bool instant_ = false;
    bool oneFrameAtATime_ = false;
    FtHandle handle_ = 0;
    WireFormat wire_;
    std::uint8_t latencyMs_ = kDefaultLatencyMs;
    Timeouts timeouts_;
    std::int64_t txLineFreeNs_ = 0;
    std::int64_t rxLineFreeNs_ = 0;

    NextReplyFaults next_;
    std::vector<std::pair<std::vector<std::uint8_t>, std::int64_t>> delayedReplies_;
    Pace pace_ = Pace::WholeLatency;
    std::mt19937 busLoad_;
    std::optional<unsigned> writesBeforeUnplug_;
    std::size_t writes_ = 0;
    std::optional<std::uint32_t> nextWriteLimit_;
    std::optional<std::uint32_t> everyWriteLimit_;
    FtStatus openFailure_ = FT_OK;
    std::map<std::string, FtStatus, std::less<>> failingCalls_;  // looked up by name without a copy
};

}  // namespace qe::sim
