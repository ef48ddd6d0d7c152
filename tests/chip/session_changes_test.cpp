// The session's read-modify-write operations (a setting chosen by its field key, the typed
// zero position, the hysteresis, the address) against each way the adapter can answer, and
// the entries they refuse before any exchange. Every chip word has bits outside its field
// that the mirror does not share, so a write built from anything but the chip's own word
// shows in the frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "link_rig.h"
#include "messages.h"

namespace qe::chip::test {
namespace {

struct Change {
    const char* name;
    std::function<Result(ChipSession&)> operation;
    std::uint8_t reg;
    std::uint16_t chipWord;
    std::uint16_t written;
    bool readsBack;  // the address change does not: the chip answers elsewhere at once
    const char* message;
    std::uint8_t addressAfter = kChip;  // once the change is done
    double tachoRangeAfter = 0;         // whatever the chip makes of the change
};

const Change kChanges[] = {
    {"Pdtr 1:512", [](ChipSession& s) { return s.changeSetting("Pdtr", 2); }, 48, 0x0205, 0x0A05,
     true, messages::kPdtrFailed},
    {"Sth 16 Hz", [](ChipSession& s) { return s.changeSetting("Sth", 7); }, 51, 0x8007, 0x81C7,
     true, messages::kSthFailed, kChip, 16.0},
    {"SSIcfg ring register refreshed", [](ChipSession& s) { return s.changeSetting("SSIcfg", 2); },
     51, 0x6005, 0x7805, true, messages::kSsiFailed},
    {"zero position 100", [](ChipSession& s) { return s.presetZero("100"); }, 49, 0xD123, 0xD064,
     true, messages::kZeroFailed},
    {"hysteresis 5", [](ChipSession& s) { return s.setHysteresis(5); }, 50, 0xFF81, 0xFF85, true,
     messages::kHysteresisFailed},
    {"address 7", [](ChipSession& s) { return s.setAddress(7); }, 48, 0x4D85, 0x4D87, false,
     messages::kAddressFailed, 7},
};

enum class MirrorAfter { Untouched, ChipsWord, Written };

struct Fault {
    const char* name;
    std::function<std::vector<Bytes>(const Change&)> replies;
    int unplugAfter;
    std::size_t framesSent;  // of read, write, read back
    Outcome outcome;
    MirrorAfter mirror;
};

const Fault kFaults[] = {
    {"done",
     [](const Change& c) {
         return std::vector<Bytes>{wordReply(c.chipWord), kAck, wordReply(c.written)};
     },
     -1, 3, Outcome::Done, MirrorAfter::Written},
    // Acknowledged, so the chip holds the word written.
    {"read-back lost",
     [](const Change& c) {
         return std::vector<Bytes>{wordReply(c.chipWord), kAck, kSilence};
     },
     -1, 3, Outcome::Done, MirrorAfter::Written},
    {"word not reported", [](const Change&) { return std::vector<Bytes>{kSilence}; }, -1, 1,
     Outcome::NoReply, MirrorAfter::Untouched},
    {"word short",
     [](const Change& c) {
         return std::vector<Bytes>{{static_cast<std::uint8_t>(c.chipWord >> 8)}};
     },
     -1, 1, Outcome::NoReply, MirrorAfter::Untouched},
    // With a surplus byte nobody can tell which two bytes are the word.
    {"word with a byte too many",
     [](const Change& c) {
         Bytes reply = wordReply(c.chipWord);
         reply.push_back(0x00);
         return std::vector<Bytes>{reply};
     },
     -1, 1, Outcome::NoReply, MirrorAfter::Untouched},
    {"write refused",
     [](const Change& c) {
         return std::vector<Bytes>{wordReply(c.chipWord), kRefused};
     },
     -1, 2, Outcome::WriteRefused, MirrorAfter::ChipsWord},
    {"write unanswered",
     [](const Change& c) {
         return std::vector<Bytes>{wordReply(c.chipWord), kSilence};
     },
     -1, 2, Outcome::WriteRefused, MirrorAfter::ChipsWord},
    {"adapter unplugged at the read", [](const Change&) { return std::vector<Bytes>{}; }, 0, 1,
     Outcome::NoReply, MirrorAfter::Untouched},
    {"adapter unplugged at the write",
     [](const Change& c) { return std::vector<Bytes>{wordReply(c.chipWord)}; }, 1, 2,
     Outcome::WriteRefused, MirrorAfter::ChipsWord},
};

TEST(SessionChanges, ReadModifyWriteAgainstEveryAnswer) {
    for (const Change& change : kChanges) {
        for (const Fault& fault : kFaults) {
            SCOPED_TRACE(std::string(change.name) + ", " + fault.name);
            LinkRig rig;
            rig.replies(fault.replies(change));
            rig.unplugAfter(fault.unplugAfter);

            const Result result = change.operation(rig.session);

            std::vector<Bytes> frames{readFrame(change.reg), writeFrame(change.reg, change.written),
                                      readFrame(change.reg)};
            frames.resize(change.readsBack ? fault.framesSent
                                           : std::min<std::size_t>(fault.framesSent, 2));
            EXPECT_EQ(rig.driver.frames(), frames);
            const bool done = fault.outcome == Outcome::Done;
            rig.expectEnded(result, fault.outcome, done ? nullptr : change.message);
            const std::uint16_t mirror[] = {kUntouched, change.chipWord, change.written};
            EXPECT_EQ(rig.image[change.reg], mirror[static_cast<int>(fault.mirror)]);
            EXPECT_EQ(rig.session.chipAddress(), done ? change.addressAfter : kChip);
            EXPECT_EQ(rig.session.derived().TachoRangeHz, change.tachoRangeAfter);
        }
    }
}

struct KeyCase {
    const char* key;
    int item;
    std::uint8_t reg;
    std::uint16_t chipWord;  // every bit outside the field shows whether it is kept
    std::uint16_t written;
    const char* message;
    DerivedValues derived = {};  // after the choice, taken or refused
};

const KeyCase kKeyCases[] = {
    {"Reg35", 0, 48, 0x0000, 0x0100, messages::kReg35Failed},  // "3.3 V" sets the bit
    {"Reg35", 1, 48, 0xFF80, 0xFE80, messages::kReg35Failed},
    {"Pdee", 1, 48, 0xFD80, 0xFF80, messages::kPdeeFailed},
    {"Pdtr", 2, 48, 0xF380, 0xFB80, messages::kPdtrFailed},
    {"AGCdis", 1, 48, 0xBF80, 0xFF80, messages::kAgcDisFailed},
    {"Pdint", 1, 48, 0x7F80, 0xFF80, messages::kPdintFailed},
    {"Sign", 1, 49, 0x2ABC, 0x3ABC, messages::kSignFailed},  // MONAGC kept
    {"BufSel", 1, 49, 0xAFFF, 0xEFFF, messages::kBufSelFailed},
    {"Abridis", 1, 49, 0x7FFF, 0xFFFF, messages::kAbriDisFailed},
    {"Res", 5, 51, 0xFFF8, 0xFFFD, messages::kResolutionFailed, {128, 7, 0}},
    // Nothing chosen writes 0 and leaves the derived values.
    {"Res", -1, 51, 0x0007, 0x0000, messages::kResolutionFailed},
    {"UVW", 3, 51, 0xFFC7, 0xFFDF, messages::kUvwFailed},
    {"Sth", 2, 51, 0xFE3F, 0xFEBF, messages::kSthFailed, {0, 0, 512.0}},
    {"SSIcfg", 2, 51, 0x0000, 0x1800, messages::kSsiFailed},  // the third item writes 3
    {"SSIcfg", 1, 51, 0x1000, 0x0800, messages::kSsiFailed},
    {"Dac", 1, 51, 0x9FFF, 0xBFFF, messages::kDacFailed},
    {"Dact", 1, 51, 0x7FFF, 0xFFFF, messages::kDactFailed},
};

// Every setting by its key: the word written, and the setting's own text when the chip
// refuses it.
TEST(SessionChanges, EverySettingByItsKey) {
    for (const KeyCase& c : kKeyCases) {
        for (const bool refused : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << c.key << " item " << c.item << (refused ? ", refused" : ""));
            LinkRig rig;
            rig.replies({wordReply(c.chipWord), refused ? kRefused : kAck, wordReply(c.written)});

            const Result result = rig.session.changeSetting(c.key, c.item);

            std::vector<Bytes> frames{readFrame(c.reg), writeFrame(c.reg, c.written)};
            if (!refused) frames.push_back(readFrame(c.reg));
            EXPECT_EQ(rig.driver.frames(), frames);
            rig.expectEnded(result, refused ? Outcome::WriteRefused : Outcome::Done,
                            refused ? c.message : nullptr);
            EXPECT_EQ(rig.image[c.reg], refused ? c.chipWord : c.written);
            EXPECT_EQ(rig.session.derived().ResolutionCounts, c.derived.ResolutionCounts);
            EXPECT_EQ(rig.session.derived().ResolutionBits, c.derived.ResolutionBits);
            EXPECT_EQ(rig.session.derived().TachoRangeHz, c.derived.TachoRangeHz);
        }
    }
    for (const SettingGroup& group : settingGroups())
        EXPECT_TRUE(std::any_of(std::begin(kKeyCases), std::end(kKeyCases), [&](const KeyCase& c) {
            return c.key == std::string(group.key);
        })) << group.key;
}

// An entry that cannot be a value is refused with its message before any exchange.
TEST(SessionChanges, RefusedEntriesReachNoChip) {
    const struct {
        const char* name;
        std::function<Result(ChipSession&)> operation;
        const char* message;
    } cases[] = {
        {"address with a letter", [](ChipSession& s) { return s.checkAddress("12a").result; },
         messages::kNumbersOnly},
        {"address 128", [](ChipSession& s) { return s.checkAddress("128").result; },
         messages::kAddressRange},
        {"address 128 set", [](ChipSession& s) { return s.setAddress(128); },
         messages::kAddressRange},
        {"zero position with a sign", [](ChipSession& s) { return s.presetZero("-1"); },
         messages::kNumbersOnly},
        {"zero position 4096", [](ChipSession& s) { return s.presetZero("4096"); },
         messages::kZeroRange},
        // Far too many digits for any integer: still too high, never wrapped into range.
        {"zero position of 24 digits",
         [](ChipSession& s) { return s.presetZero("100000000000000000000000"); },
         messages::kZeroRange},
        {"hysteresis typed, no item chosen", [](ChipSession& s) { return s.setHysteresis(-1); },
         messages::kNumbersOnly},
        {"hysteresis beyond the last item", [](ChipSession& s) { return s.setHysteresis(128); },
         messages::kNumbersOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;

        const Result result = c.operation(rig.session);

        EXPECT_TRUE(rig.driver.frames().empty());
        rig.expectEnded(result, Outcome::InputRefused, c.message);
        EXPECT_EQ(rig.session.chipAddress(), kChip);
    }
}

// A key no setting has, or an item beyond a setting's last, is the caller's mistake: refused
// by name, with no box and no exchange, and the derived values left as they were.
TEST(SessionChanges, CallersMistakesAreRefusedWithoutABox) {
    const struct {
        const char* key;
        int item;
        const char* reason;
    } cases[] = {
        {"Zin", 1, "no setting Zin"},
        {"Pdtr", 4, "Pdtr has no item 4"},  // would write 0 into its two bits
        {"Res", 8, "Res has no item 8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        LinkRig rig;

        const Result result = rig.session.changeSetting(c.key, c.item);

        EXPECT_EQ(result.outcome, Outcome::InputRefused);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_TRUE(rig.sink.shown.empty());
        EXPECT_TRUE(rig.driver.frames().empty());
        EXPECT_EQ(rig.session.derived().ResolutionCounts, 0);
    }
}

TEST(SessionChanges, TheAddressTextGivesTheValueToWrite) {
    const struct {
        const char* text;
        std::uint8_t value;
    } cases[] = {{"007", 7}, {"127", 127}, {"", kChip}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        LinkRig rig;

        const auto checked = rig.session.checkAddress(c.text);

        EXPECT_TRUE(checked.ok());
        EXPECT_EQ(checked.value, c.value);
        EXPECT_TRUE(rig.sink.shown.empty());
        EXPECT_TRUE(rig.driver.frames().empty());
    }
}

}  // namespace
}  // namespace qe::chip::test
