#include "chip_session.h"

#include <algorithm>
#include <string>

#include "configuration_file.h"
#include "entered_number.h"
#include "field_change.h"
#include "messages.h"
#include "power_down_pause.h"

namespace qe::chip {

namespace {

using fields::ADDR;
using fields::Hyst;
using fields::Zin;

constexpr std::uint8_t kModeWord = fields::Pdee.word;  // 48
constexpr std::uint8_t kStoredModeWord = 0;            // its EEPROM copy
constexpr std::size_t kProgrammedWords = 4;            // also the settings words the EEPROM stores
constexpr std::size_t kComparedWords = 8;
// The chip may refuse a write while it wakes up, so a refusal is worth asking again, a few
// times. No answer at all means the adapter or the chip has gone: each further attempt would
// only wait out the adapter's time-limit again.
constexpr int kWriteAttempts = 10;

// Why a change failed: a word the chip never reported is no reply; nothing was written then.
Outcome changeFailure(const FieldChange& change) {
    return change.wordRead ? Outcome::WriteRefused : Outcome::NoReply;
}

}  // namespace

ChipSession::ChipSession(AdapterLink& link) : link_(link) {}

void ChipSession::deriveFromMirror() {
    for (const SettingGroup& group : settingGroups()) {
        if (group.derived == Derived::None) continue;
        const int item = itemShown(group, link_.image());
        if (item >= 0 && item < static_cast<int>(group.items.size()))
            updateDerived(derived_, group.derived, valueForItem(group.mapping, item));
    }
}

Result ChipSession::fail(Outcome outcome, const char* message) {
    link_.messages().show(MessageKind::Error, message);
    return Result::failed(outcome, message);
}

WriteReply ChipSession::writeUntilAcknowledged(std::uint8_t reg, std::uint16_t word) {
    WriteReply reply = WriteReply::Refused;
    for (int attempt = 0; attempt < kWriteAttempts && reply == WriteReply::Refused; ++attempt)
        reply = link_.writeRegisterReply(chipAddress_, reg, word);
    return reply;
}

Result ChipSession::refreshSettings() {
    const std::uint8_t address = chipAddress_;
    // Only a word that came from the chip goes back to it.
    const std::optional<std::uint16_t> modeWord = pausePowerDown(link_, address);
    // A chip that has just failed gets no further write: the mode stays off in it.
    if (!link_.ReadAllRegisters(address)) return fail(Outcome::NoReply, messages::kReadingFailed);
    if (modeWord) resumePowerDown(link_, address, true, *modeWord);
    return Result::done();
}

Result ChipSession::changeSetting(const SettingGroup& group, int item) {
    // Beyond the last item the field would take some other value than the one asked for.
    if (item >= static_cast<int>(group.items.size()))
        return Result::failed(Outcome::InputRefused,
                              std::string(group.key) + " has no item " + std::to_string(item));
    const std::uint16_t value = valueForItem(group.mapping, item);
    // The derived value follows the choice whatever the chip makes of it.
    if (item >= 0) updateDerived(derived_, group.derived, value);
    const FieldChange change = changeField(link_, chipAddress_, group.field, value);
    if (!change) return fail(changeFailure(change), group.failureMessage);
    return Result::done();
}

Result ChipSession::changeSetting(std::string_view key, int item) {
    const SettingGroup* group = findSettingGroup(key);
    if (!group) return Result::failed(Outcome::InputRefused, "no setting " + std::string(key));
    return changeSetting(*group, item);
}

Result ChipSession::programEeprom() {
    auto& image = link_.image();
    const bool pdeeWasOn = powerDownOn(image[kModeWord]);
    bool pdeeSwitchedOff = false;  // the chip may hold the mode off from here on
    std::uint8_t wordsWritten = 0;
    // A chip that has just failed gets no further write: the mode stays off in it, and the
    // mirror, and so the panel, say so.
    const auto failWith = [&](Outcome outcome, const char* message) {
        if (pdeeSwitchedOff) image[kModeWord] = withPowerDown(image[kModeWord], false);
        Result failed = fail(outcome, message);
        failed.eepromWordsWritten = wordsWritten;
        return failed;
    };
    // Writes the mirror's word 48 to that register.
    const auto store = [&](std::uint8_t reg) {
        return writeUntilAcknowledged(reg, image[kModeWord]) == WriteReply::Acknowledged;
    };

    if (pdeeWasOn) {
        const std::uint16_t off = withPowerDown(image[kModeWord], false);
        const WriteReply reply = writeUntilAcknowledged(kModeWord, off);
        // Only a refusal tells that the chip kept the mode on; without an answer it may not have.
        pdeeSwitchedOff = reply != WriteReply::Refused;
        if (reply != WriteReply::Acknowledged)
            return failWith(Outcome::WriteRefused, messages::kCannotWriteEeprom);
        image[kModeWord] = off;
    }

    for (std::uint8_t i = 0; i < kProgrammedWords; ++i, ++wordsWritten)
        if (!link_.WriteRegister(chipAddress_, i, image[kFirstWorkingWord + i]))
            return failWith(Outcome::WriteRefused, messages::kCannotWriteEeprom);

    // Only words that really came back from the chip can prove the EEPROM right.
    const bool verified = link_.ReadAllRegisters(chipAddress_) &&
                          std::equal(image.begin(), image.begin() + kComparedWords,
                                     image.begin() + kFirstWorkingWord);
    if (!verified) return failWith(Outcome::NotVerified, messages::kNotCorrectlyWritten);

    if (pdeeWasOn) {
        // The EEPROM stores the mode on; the working register gets it back last.
        image[kModeWord] = withPowerDown(image[kModeWord], true);
        if (!store(kStoredModeWord))
            return failWith(Outcome::WriteRefused, messages::kCannotWriteEeprom);
        image[kModeWord] = withPowerDown(image[kModeWord], false);
        if (!store(kModeWord)) return failWith(Outcome::WriteRefused, messages::kCannotWriteEeprom);
        link_.ReadRegister(chipAddress_, kStoredModeWord);
        image[kModeWord] = withPowerDown(image[kModeWord], true);
        if (!store(kModeWord)) return failWith(Outcome::WriteRefused, messages::kCannotWriteEeprom);
    }
    Result done = Result::done();
    done.eepromWordsWritten = wordsWritten;
    return done;
}

Result ChipSession::readEeprom() {
    const std::uint8_t address = chipAddress_;
    const std::optional<std::uint16_t> working = pausePowerDown(link_, address);
    // A chip that has just failed gets no further write: the mode stays off in it.
    const auto failed = [&] { return fail(Outcome::NoReply, messages::kReadingFailed); };
    if (!working) return failed();

    // Word 0 is written back only as the chip reported it.
    const RegisterRead stored = link_.ReadRegister(address, kStoredModeWord);
    if (!stored) return failed();
    link_.WriteRegister(address, kStoredModeWord, stored.word);
    chipAddress_ = static_cast<std::uint8_t>(fieldValue(stored.word, ADDR));

    if (!link_.ReadAllRegisters(chipAddress_)) return failed();
    resumePowerDown(link_, chipAddress_, true, *working);
    return Result::done();
}

ValueResult<std::uint8_t> ChipSession::checkAddress(std::string_view text) {
    const EnteredNumber entered = parseEntered(text);
    if (!entered.digitsOnly) return {fail(Outcome::InputRefused, messages::kNumbersOnly)};
    const unsigned value = entered.empty ? chipAddress_ : entered.value;
    if (value > ADDR.maxValue()) return {fail(Outcome::InputRefused, messages::kAddressRange)};
    return {Result::done(), static_cast<std::uint8_t>(value)};
}

Result ChipSession::setAddress(std::uint8_t address) {
    if (address > ADDR.maxValue()) return fail(Outcome::InputRefused, messages::kAddressRange);
    // The chip answers at its new address as soon as it has it, so the word is not read back.
    const RegisterRead current = link_.ReadRegister(chipAddress_, ADDR.word);
    const std::uint16_t word = withField(current.word, ADDR, address);
    if (current && link_.WriteRegister(chipAddress_, ADDR.word, word)) {
        link_.image()[ADDR.word] = word;
        chipAddress_ = address;
        return Result::done();
    }
    return fail(current ? Outcome::WriteRefused : Outcome::NoReply, messages::kAddressFailed);
}

Result ChipSession::presetZero(std::string_view text) {
    const EnteredNumber entered = parseEntered(text);
    if (!entered.digitsOnly) return fail(Outcome::InputRefused, messages::kNumbersOnly);
    if (entered.value > Zin.maxValue()) return fail(Outcome::InputRefused, messages::kZeroRange);
    const FieldChange change =
        changeField(link_, chipAddress_, Zin, static_cast<std::uint16_t>(entered.value));
    if (!change) return fail(changeFailure(change), messages::kZeroFailed);
    return Result::done();
}

ValueResult<std::uint16_t> ChipSession::zeroAtCurrentPosition() {
    return zeroAtCurrentPosition(messages::kZeroHereFailed);
}

ValueResult<std::uint16_t> ChipSession::zeroAtCurrentPosition(const char* failureMessage) {
    // Without a position there is nothing to make the zero, and nothing to say.
    if (!link_.ReadOutputRegisters(chipAddress_)) return {Result::failed(Outcome::NoReply)};
    const FieldChange change =
        changeField(link_, chipAddress_, Zin, fieldValue(link_.image(), fields::AbsPos));
    if (!change) return {fail(changeFailure(change), failureMessage)};
    return {Result::done(), fieldValue(change.word, Zin)};
}

Result ChipSession::setHysteresis(int item) {
    // Only one of the items counts; text typed into the box is none.
    if (item < 0 || item > Hyst.maxValue())
        return fail(Outcome::InputRefused, messages::kNumbersOnly);
    const FieldChange change =
        changeField(link_, chipAddress_, Hyst, static_cast<std::uint16_t>(item));
    if (!change) return fail(changeFailure(change), messages::kHysteresisFailed);
    return Result::done();
}

Result ChipSession::loadFile(const std::filesystem::path& path, LoadAccess access) {
    // Read into a copy: a refused file must leave the mirror as it was, or the next PROG
    // would put the words read before the error into the chip.
    RegisterImage loaded = link_.image();
    const FileStatus status = loadConfigurationFile(path, loaded, access);
    if (status) {
        std::copy_n(loaded.begin() + kFirstFileWord, kFileWords,
                    link_.image().begin() + kFirstFileWord);
        return Result::done();
    }
    const std::string text = fileStatusText(status);
    link_.messages().show(MessageKind::Exception, text);
    return Result::failed(Outcome::FileFailed, text);
}

Result ChipSession::writeLoadedWords() {
    const auto& image = link_.image();
    // All eight words go to the chip, those the file did not supply as the mirror had them.
    // A refused write ends the load without a message.
    for (std::uint8_t reg = kFirstFileWord; reg < kFirstFileWord + kFileWords; ++reg) {
        if (!link_.WriteRegister(chipAddress_, reg, image[reg]))
            return Result::failed(Outcome::WriteRefused);
        // The chip answers at the address in word 48 from the moment it has it.
        if (reg == ADDR.word)
            chipAddress_ = static_cast<std::uint8_t>(fieldValue(image[reg], ADDR));
    }
    // Fresh positions for the readout part of the fill.
    link_.ReadRegister(chipAddress_, fields::RelPos.word);
    link_.ReadRegister(chipAddress_, fields::AbsPos.word);
    return Result::done();
}

Result ChipSession::saveFile(const std::filesystem::path& path) {
    // The mirror as it stands; the chip is not asked.
    const FileStatus status = saveConfigurationFile(path, link_.image());
    if (status) return Result::done();
    const std::string text = fileStatusText(status);
    link_.messages().show(MessageKind::Exception, text);
    return Result::failed(Outcome::FileFailed, text);
}

Result ChipSession::readOutputs() {
    if (!link_.ReadOutputRegisters(chipAddress_)) return Result::failed(Outcome::NoReply);
    return Result::done();
}

Result ChipSession::readStoredSettings() {
    for (std::uint8_t word = 0; word < kProgrammedWords; ++word)
        if (!link_.ReadRegister(chipAddress_, word)) return Result::failed(Outcome::NoReply);
    return Result::done();
}

}  // namespace qe::chip
