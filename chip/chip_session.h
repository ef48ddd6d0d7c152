#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "adapter_link.h"
#include "chip_result.h"
#include "configuration_file.h"
#include "field_catalogue.h"
#include "message_sink.h"
#include "register_image.h"

namespace qe::chip {

// The settings part of the device object (Chip): the chip's bus address, the derived values
// of the register mirror, and every operation on the chip's settings. Each operation makes
// the exchanges of one user action in the designed order and shows its messages through the
// link's MessageSink at the same point as the window always has; the front end then presents
// the result (fills the settings panel, moves the focus, prints a line). The derived values
// follow the mirror wherever the window fills the settings panel from it.
//
// Operations do not wait for a poll cycle and do not look at the panel's readiness: that
// is the caller's guard.
class ChipSession {
public:
    explicit ChipSession(AdapterLink& link);

    // The chip that every register command addresses (ChipAddress). The connection sets it
    // when a scan finds one chip; READ, the address change and LOAD follow the chip.
    std::uint8_t chipAddress() const { return chipAddress_; }
    void setChipAddress(std::uint8_t address) { chipAddress_ = address; }

    const RegisterImage& image() const { return link_.image(); }
    DerivedValues& derived() { return derived_; }
    const DerivedValues& derived() const { return derived_; }

    // RefreshSettingsPanel's exchanges: all registers read into the mirror with the
    // autonomous power-down mode held off. On success the caller fills the panel.
    Result refreshSettings();

    // A radio group's choice: the derived value follows `item` first, whatever the chip
    // makes of it; then the field is changed by read-modify-write. `key` is the register
    // field's name ("Res", "Sth", ...). An unknown key or an item beyond the group's last
    // is the caller's mistake: refused without an exchange and without a box. A negative
    // item is nothing chosen, and writes 0.
    Result changeSetting(const SettingGroup& group, int item);
    Result changeSetting(std::string_view key, int item);

    // PROG: working words 48..51 into EEPROM words 0..3, verified. The caller fills the
    // panel afterwards whatever the outcome.
    Result programEeprom();
    // READ: the chip followed to the address its EEPROM holds, all registers read. On
    // success the caller fills the panel.
    Result readEeprom();

    // The address change in two steps, so that the field shows the value before the chip
    // is asked: first the entered text is checked (an empty text means the current
    // address; a refusal shows its message), then the value is written.
    ValueResult<std::uint8_t> checkAddress(std::string_view text);
    Result setAddress(std::uint8_t address);

    // The zero position typed (empty text: 0); a refusal shows its message and writes nothing.
    Result presetZero(std::string_view text);
    // The current absolute position made the zero position; value: Zin as the chip now holds
    // it. A failed output read fails silently; a failed change shows `failureMessage`.
    ValueResult<std::uint16_t> zeroAtCurrentPosition(const char* failureMessage);
    ValueResult<std::uint16_t> zeroAtCurrentPosition();  // with the "Zero" button's message

    // The hysteresis item chosen; a negative item (text typed, nothing chosen) is refused.
    Result setHysteresis(int item);

    // LOAD in two steps, as the window fills the panel in between: the file into words
    // 48..55 of the mirror (a refused file leaves the mirror as it was), then the eight
    // words into the chip. A refused write ends the second step silently; when all eight
    // went in, the positions are read again and the caller fills the panel once more.
    Result loadFile(const std::filesystem::path& path,
                    LoadAccess access = LoadAccess::ReadAndWrite);
    Result writeLoadedWords();
    // SAVE: words 48..55 of the mirror into the file; the chip is not asked.
    Result saveFile(const std::filesystem::path& path);

    // The four output words read into the mirror (the live readout's exchange).
    Result readOutputs();

    // The derived values as a settings panel filled from the mirror shows them.
    void deriveFromMirror();

    // EEPROM words 0..3 (the stored copies of words 48..51) read into the mirror, for a
    // comparison with the working words; fails silently at the first read without a reply.
    Result readStoredSettings();

private:
    // Shows the message box of the tool's own errors and returns the failure.
    Result fail(Outcome outcome, const char* message);
    // Asks again while the chip refuses, up to a bound; the last attempt's reply.
    WriteReply writeUntilAcknowledged(std::uint8_t reg, std::uint16_t word);

    AdapterLink& link_;
    DerivedValues derived_;
    std::uint8_t chipAddress_ = 0;
};

}  // namespace qe::chip
