#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace qe::chip {

// How a chip operation ended. The texts the user is shown for a failure have already gone
// to the MessageSink at the point of the exchange where the window shows them; `reason`
// repeats that text for callers that report it their own way, such as a command line. When
// the operation has no text of its own, the device object (Chip) puts there the last one the
// adapter link showed during it, and `driverFault` names the driver call that failed.
enum class Outcome {
    Done,          // everything the operation set out to do was done
    InputRefused,  // the value given was not valid; nothing reached the chip
    NoReply,       // a read got no complete reply
    WriteRefused,  // the chip refused a write, or its acknowledgement never came
    NotVerified,   // PROG: the EEPROM read back differs from the working words
    FileFailed,    // the configuration file could not be read or written
    NoChip,        // no adapter, or no chip answered the scan
    TooManyChips,  // more than one chip answered the scan
};

// A driver call that failed, and the status it returned.
struct DriverFault {
    std::string call;  // "FT_Read", "Open_USB_Device_By_Serial_Number", ...
    std::uint32_t status = 0;

    bool operator==(const DriverFault&) const = default;
};

struct [[nodiscard]] Result {
    Outcome outcome = Outcome::Done;
    std::string reason;
    std::optional<DriverFault> driverFault;
    // PROG: EEPROM words 0..N-1 the chip acknowledged before the operation ended (0 for any
    // other operation), so that a cut-short PROG can say what the EEPROM holds now.
    std::uint8_t eepromWordsWritten = 0;

    bool ok() const { return outcome == Outcome::Done; }

    static Result done() { return {}; }
    static Result failed(Outcome outcome, std::string reason = {}) {
        return {outcome, std::move(reason), std::nullopt, 0};
    }
};

// A result that carries a value when the operation succeeded.
template <typename T>
struct [[nodiscard]] ValueResult {
    Result result;
    T value{};

    bool ok() const { return result.ok(); }
};

}  // namespace qe::chip
