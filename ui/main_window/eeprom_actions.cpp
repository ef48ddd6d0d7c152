// PROG stores the working words 48..51 in the EEPROM words 0..3 and verifies them; READ
// brings the stored settings back. Both keep the chip's autonomous power-down mode off
// while they work with it.
#include <QPushButton>
#include <algorithm>
#include <optional>

#include "chip_exchange_guard.h"
#include "main_window.h"
#include "power_down_pause.h"
#include "settings_messages.h"

namespace qe::ui {

namespace {

using chip::powerDownOn;
using chip::withPowerDown;

const char* const kCannotWrite = "Can not write to the EEPROM";
const char* const kNotCorrectlyWritten = "The data was not correctly written to the EEPROM";

constexpr std::uint8_t kWorkingWord = chip::fields::Pdee.word;  // 48
constexpr std::uint8_t kStoredWord = 0;                         // its EEPROM copy
constexpr std::size_t kProgrammedWords = 4;
constexpr std::size_t kComparedWords = 8;
// The chip may refuse a write while it wakes up, so a refusal is worth asking again, a few
// times. No answer at all means the adapter or the chip has gone: each further attempt would
// only wait out the adapter's time-limit again.
constexpr int kWriteAttempts = 10;

// Asks again while the chip refuses, up to the bound; returns the last attempt's reply.
WriteReply writeUntilAcknowledged(AdapterLink& link, std::uint8_t reg, std::uint16_t word) {
    WriteReply reply = WriteReply::Refused;
    for (int attempt = 0; attempt < kWriteAttempts && reply == WriteReply::Refused; ++attempt)
        reply = link.writeRegisterReply(link.ChipAddress, reg, word);
    return reply;
}

}  // namespace

void MainWindow::BtnProgClick() {
    BtnProg->setEnabled(false);
    // After a failure the poll cycle enables the button again while one chip answers.
    if (!WaitPollIdle() || programEeprom()) BtnProg->setEnabled(true);
}

bool MainWindow::programEeprom() {
    const ChipExchangeGuard exchange(chipExchanges_);
    auto& image = link_.image();
    const bool pdeeWasOn = powerDownOn(image[kWorkingWord]);
    bool pdeeSwitchedOff = false;  // the chip may hold the mode off and has to get it back
    const auto fail = [&](const char* message) {
        if (pdeeSwitchedOff) {
            // The mirror as the chip now holds it; the chip gets the user's mode back.
            image[kWorkingWord] = withPowerDown(image[kWorkingWord], false);
            chip::resumePowerDown(link_, link_.ChipAddress, false,
                                  withPowerDown(image[kWorkingWord], true));
        }
        link_.messages().show(MessageKind::Error, message);
        FillSettingsPanel();
        return false;
    };
    // Writes the mirror's word 48 to that register.
    const auto store = [&](std::uint8_t reg) {
        return writeUntilAcknowledged(link_, reg, image[kWorkingWord]) == WriteReply::Acknowledged;
    };

    if (pdeeWasOn) {
        const std::uint16_t off = withPowerDown(image[kWorkingWord], false);
        const WriteReply reply = writeUntilAcknowledged(link_, kWorkingWord, off);
        // Only a refusal tells that the chip kept the mode on; without an answer it may not have.
        pdeeSwitchedOff = reply != WriteReply::Refused;
        if (reply != WriteReply::Acknowledged) return fail(kCannotWrite);
        image[kWorkingWord] = off;
    }

    for (std::uint8_t i = 0; i < kProgrammedWords; ++i)
        if (!link_.WriteRegister(link_.ChipAddress, i, image[kFirstWorkingWord + i]))
            return fail(kCannotWrite);

    // Only words that really came back from the chip can prove the EEPROM right.
    const bool verified = link_.ReadAllRegisters(link_.ChipAddress) &&
                          std::equal(image.begin(), image.begin() + kComparedWords,
                                     image.begin() + kFirstWorkingWord);
    if (!verified) return fail(kNotCorrectlyWritten);

    if (pdeeWasOn) {
        // The EEPROM stores the mode on; the working register gets it back last.
        image[kWorkingWord] = withPowerDown(image[kWorkingWord], true);
        if (!store(kStoredWord)) return fail(kCannotWrite);
        image[kWorkingWord] = withPowerDown(image[kWorkingWord], false);
        if (!store(kWorkingWord)) return fail(kCannotWrite);
        link_.ReadRegister(link_.ChipAddress, kStoredWord);
        image[kWorkingWord] = withPowerDown(image[kWorkingWord], true);
        if (!store(kWorkingWord)) return fail(kCannotWrite);
    }
    FillSettingsPanel();
    return true;
}

void MainWindow::BtnReadClick() {
    BtnRead->setEnabled(false);
    readEeprom();
    BtnRead->setEnabled(true);
}

void MainWindow::readEeprom() {
    const ChipExchangeGuard exchange(chipExchanges_);
    const std::uint8_t address = link_.ChipAddress;
    const std::optional<std::uint16_t> working = chip::pausePowerDown(link_, address);
    const auto fail = [&] {
        // The chip may still be at its old address; if not, nobody takes this write.
        if (working) chip::resumePowerDown(link_, address, false, *working);
        link_.messages().show(MessageKind::Error, kReadingFailed);
    };
    if (!working) return fail();

    // Word 0 is written back only as the chip reported it.
    const RegisterRead stored = link_.ReadRegister(address, kStoredWord);
    if (!stored) return fail();
    link_.WriteRegister(address, kStoredWord, stored.word);
    link_.ChipAddress =
        static_cast<std::uint8_t>(chip::fieldValue(stored.word, chip::fields::ADDR));

    if (!link_.ReadAllRegisters(link_.ChipAddress)) return fail();
    chip::resumePowerDown(link_, link_.ChipAddress, true, *working);
    FillSettingsPanel();
}

}  // namespace qe::ui
