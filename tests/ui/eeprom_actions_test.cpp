// PROG and READ: the exchange orders with the power-down mode off and on, the verification,
// and every failure.
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "chip_actions_fixture.h"

namespace qe::ui::test {
namespace {

using Frames = std::vector<std::string>;
using ByteFrames = std::vector<std::vector<std::uint8_t>>;

const char* const kCannotWrite = "Can not write to the EEPROM";
const char* const kNotCorrectlyWritten = "The data was not correctly written to the EEPROM";
const char* const kReadingFailed = "The reading was unsuccessful.";

// The simulated chip at address 0 starts with 48..51 = 0100h, 0000h, 0001h, 01C0h and the
// same words in its EEPROM.
class EepromTest : public ChipActionsTest {
protected:
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    std::vector<std::uint16_t> eeprom() {
        std::vector<std::uint16_t> words;
        for (std::uint8_t i = 0; i < 8; ++i) words.push_back(chip().eepromWord(i));
        return words;
    }
    std::vector<std::uint16_t> working() {
        std::vector<std::uint16_t> words;
        for (std::uint8_t i = 48; i < 56; ++i) words.push_back(chip().workingWord(i));
        return words;
    }
};

// --- PROG ---------------------------------------------------------------------------------

TEST_F(EepromTest, ProgWithPowerDownOffWritesFourEepromWordsAndVerifiesThem) {
    chipHolds({{49, 0x5123}, {51, 0x81C7}});

    button("BtnProg")->click();

    EXPECT_EQ(newFrames(), (Frames{"W 0 0 0x0100", "W 0 1 0x5123", "W 0 2 0x0001", "W 0 3 0x81C7",
                                   "readAll 0"}));
    EXPECT_EQ(eeprom(), working());
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(button("BtnProg")->isEnabled());
}

TEST_F(EepromTest, ProgWithPowerDownOnStoresTheModeOnAndSwitchesItBackOn) {
    chipHolds({{48, 0x0300}});

    button("BtnProg")->click();

    EXPECT_EQ(newFrames(), (Frames{"W 0 48 0x0100", "W 0 0 0x0100", "W 0 1 0x0000", "W 0 2 0x0001",
                                   "W 0 3 0x01C0", "readAll 0", "W 0 0 0x0300", "W 0 48 0x0100",
                                   "R 0 0", "W 0 48 0x0300"}));
    EXPECT_EQ(eeprom(), working());
    EXPECT_EQ(chip().eepromWord(0), 0x0300);
    EXPECT_EQ(image()[48], 0x0300);
    EXPECT_EQ(group("RgPdee")->itemIndex(), 1);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(button("BtnProg")->isEnabled());
}

struct ProgFailureCase {
    const char* name;
    std::uint16_t word48;  // in the chip and the mirror before PROG
    std::uint16_t word53;  // EEPROM word 5 stays 0
    std::uint8_t refusedRegister;
    Frames frames;
    const char* message;
    std::uint16_t eeprom2;      // what EEPROM word 2 holds afterwards
    std::uint16_t word48After;  // in the chip and the mirror afterwards
};

void PrintTo(const ProgFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class ProgFailureTest : public EepromTest, public ::testing::WithParamInterface<ProgFailureCase> {};

// The message, a panel filled from the mirror, the button left to the poll cycle, and the
// power-down mode as the chip now holds it: off once it was switched off, with no further
// write to the chip that failed.
TEST_P(ProgFailureTest, ReportsFillsThePanelAndLeavesThePowerDownModeAsTheChipHoldsIt) {
    const ProgFailureCase& c = GetParam();
    chipHolds({{48, c.word48}, {53, c.word53}, {50, 0x0042}});
    adapter().refuseWritesTo(c.refusedRegister);
    showItem("RgPdee", 1 - group("RgPdee")->itemIndex());

    button("BtnProg")->click();

    EXPECT_EQ(newFrames(), c.frames);
    EXPECT_EQ(sink.shown, errors({c.message}));
    EXPECT_FALSE(button("BtnProg")->isEnabled());
    EXPECT_EQ(chip().eepromWord(2), c.eeprom2);
    EXPECT_EQ(chip().workingWord(48), c.word48After);
    EXPECT_EQ(image()[48], c.word48After);
    EXPECT_EQ(group("RgPdee")->itemIndex(), (c.word48After & 0x0200) ? 1 : 0)
        << "the panel shows the mirror";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ProgFailureTest,
    ::testing::Values(
        ProgFailureCase{"EepromWriteRefused",
                        0x0100,
                        0,
                        2,
                        {"W 0 0 0x0100", "W 0 1 0x0000", "W 0 2 0x0042"},
                        kCannotWrite,
                        0x0001,
                        0x0100},
        ProgFailureCase{"EepromWriteRefusedWithPowerDownOn",
                        0x0300,
                        0,
                        2,
                        {"W 0 48 0x0100", "W 0 0 0x0100", "W 0 1 0x0000", "W 0 2 0x0042"},
                        kCannotWrite,
                        0x0001,
                        0x0100},
        // Only four words are written, yet all eight are compared.
        ProgFailureCase{
            "WorkingWordsBeyondTheFourDiffer",
            0x0100,
            0x1234,
            99,
            {"W 0 0 0x0100", "W 0 1 0x0000", "W 0 2 0x0042", "W 0 3 0x01C0", "readAll 0"},
            kNotCorrectlyWritten,
            0x0042,
            0x0100},
        ProgFailureCase{"WorkingWordsDifferWithPowerDownOn",
                        0x0300,
                        0x1234,
                        99,
                        {"W 0 48 0x0100", "W 0 0 0x0100", "W 0 1 0x0000", "W 0 2 0x0042",
                         "W 0 3 0x01C0", "readAll 0"},
                        kNotCorrectlyWritten,
                        0x0042,
                        0x0100},
        // The chip never takes the mode off: a bounded number of tries, then nothing else.
        ProgFailureCase{"PowerDownModeCannotBeSwitchedOff", 0x0300, 0, 48,
                        Frames(10, "W 0 48 0x0100"), kCannotWrite, 0x0001, 0x0300}),
    [](const auto& info) { return std::string(info.param.name); });

// A refusal is asked again up to the bound, each time at once; a write that gets no answer
// at all is not asked again, so a silent adapter holds PROG for one time-limit, not ten.
TEST_F(EepromTest, ProgStopsRetryingAtTheBoundOrAtOnceWithoutAnAnswer) {
    const struct {
        const char* name;
        std::function<void(sim::SimulatedAdapter&)> fault;
        Frames frames;
        std::int64_t minMs;
        std::int64_t maxMs;
        std::uint16_t chip48;  // the chip's word 48 afterwards, and the mirror's
    } cases[] = {
        {"refused every time", [](sim::SimulatedAdapter& a) { a.refuseWritesTo(48); },
         Frames(10, "W 0 48 0x0100"), 0, 2000 - 1, 0x0300},
        // The chip may have taken the word (here it did): the mirror takes the mode off too.
        {"no answer",
         [](sim::SimulatedAdapter& a) { a.loseNextReply(); },
         {"W 0 48 0x0100"},
         2000,
         2 * 2000 - 1,
         0x0100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        chipHolds({{48, 0x0300}});
        c.fault(adapter());
        const std::int64_t start = clock.nowNs();

        window->BtnProgClick();

        const std::int64_t elapsedMs = (clock.nowNs() - start) / kNsPerMs;
        EXPECT_GE(elapsedMs, c.minMs);
        EXPECT_LE(elapsedMs, c.maxMs);
        EXPECT_EQ(newFrames(), c.frames);
        EXPECT_EQ(sink.shown, errors({kCannotWrite}));
        EXPECT_EQ(chip().workingWord(48), c.chip48);
        EXPECT_EQ(image()[48], c.chip48);
        EXPECT_EQ(eeprom(), (std::vector<std::uint16_t>{0x0100, 0, 0x0001, 0x01C0, 0, 0, 0, 0}));
        adapter().clearFaults();
    }
}

TEST_F(EepromTest, ProgDuringAnUnfinishedPollTickTalksToNoChip) {
    window->PollBusy = true;

    window->BtnProgClick();

    EXPECT_TRUE(newFrames().empty());
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(button("BtnProg")->isEnabled());
    window->PollBusy = false;
}

// --- READ ---------------------------------------------------------------------------------

TEST_F(EepromTest, ReadRewritesEepromWordZeroReadsEverythingAndShowsIt) {
    chip().setEepromWord(1, 0x0456);

    button("BtnRead")->click();

    EXPECT_EQ(newFrames(), (Frames{"R 0 48", "R 0 0", "W 0 0 0x0100", "readAll 0"}));
    EXPECT_EQ(image()[1], 0x0456);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(button("BtnRead")->isEnabled());
}

TEST_F(EepromTest, ReadWithPowerDownOnSwitchesItOffForTheReadAndBackOn) {
    chipHolds({{48, 0x0300}});
    showItem("RgPdee", 0);

    button("BtnRead")->click();

    EXPECT_EQ(newFrames(), (Frames{"R 0 48", "W 0 48 0x0100", "R 0 0", "W 0 0 0x0100", "readAll 0",
                                   "W 0 48 0x0300"}));
    EXPECT_EQ(chip().workingWord(48), 0x0300);
    EXPECT_EQ(image()[48], 0x0300);
    EXPECT_EQ(group("RgPdee")->itemIndex(), 1);
}

TEST_F(EepromTest, ReadDoesNotWaitForARunningPollTick) {
    window->PollBusy = true;

    window->BtnReadClick();

    EXPECT_EQ(newFrames(), (Frames{"R 0 48", "R 0 0", "W 0 0 0x0100", "readAll 0"}));
    window->PollBusy = false;
}

// The scripted adapter answers each frame as told; an empty reply is none at all.
class ScriptedReadTest : public MainWindowTest {
protected:
    void SetUp() override { startScripted(); }
    void replies(const std::vector<std::vector<std::uint8_t>>& bytes) {
        for (const auto& reply : bytes) scripted->replyToNextWrite(reply);
    }
    static std::vector<std::uint8_t> allRegisters(std::uint16_t word48) {
        std::vector<std::uint8_t> bytes(112, 0);
        bytes[96] = static_cast<std::uint8_t>(word48 >> 8);
        bytes[97] = static_cast<std::uint8_t>(word48 & 0xFF);
        return bytes;
    }
};

TEST_F(ScriptedReadTest, ReadFollowsTheChipToTheAddressStoredInTheEeprom) {
    setChipAddress(5);
    replies({{0x01, 0x05}, {0x01, 0x09}, {1}, allRegisters(0x0109)});

    window->BtnReadClick();

    EXPECT_EQ(scripted->frames(),
              (ByteFrames{{89, 11, 48}, {89, 11, 0}, {89, 10, 0, 0x01, 0x09}, {87, 18}}));
    EXPECT_EQ(device->chipAddress(), 9);
    EXPECT_EQ(find<QLineEdit>("EdNaslovCipa")->text(), "9");
    EXPECT_TRUE(sink.shown.empty());
}

struct ReadFailureCase {
    const char* name;
    std::vector<std::vector<std::uint8_t>> replies;
    ByteFrames frames;
    std::uint8_t addressAfter;
};

void PrintTo(const ReadFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadFailureTest : public ScriptedReadTest,
                        public ::testing::WithParamInterface<ReadFailureCase> {};

TEST_P(ReadFailureTest, ReportsTheReadingAsUnsuccessfulAndWritesOnlyWordsTheChipReported) {
    const ReadFailureCase& c = GetParam();
    setChipAddress(5);
    replies(c.replies);
    const std::string addressBefore = find<QLineEdit>("EdNaslovCipa")->text().toStdString();

    window->BtnReadClick();

    EXPECT_EQ(scripted->frames(), c.frames);
    EXPECT_EQ(sink.texts(), std::vector<std::string>{kReadingFailed});
    EXPECT_EQ(device->chipAddress(), c.addressAfter);
    EXPECT_EQ(find<QLineEdit>("EdNaslovCipa")->text().toStdString(), addressBefore)
        << "the panel is not refilled";
    EXPECT_TRUE(find<QPushButton>("BtnRead")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ReadFailureTest,
    ::testing::Values(ReadFailureCase{"WorkingWordNotReported", {}, {{89, 11, 48}}, 5},
                      // Never write EEPROM word 0 with a value that did not come from it.
                      ReadFailureCase{"StoredWordNotReported",
                                      {{0x01, 0x05}, {}},
                                      {{89, 11, 48}, {89, 11, 0}},
                                      5},
                      ReadFailureCase{"StoredWordNotReportedWithPowerDownOn",
                                      {{0x03, 0x05}, {1}, {}},
                                      {{89, 11, 48}, {89, 10, 48, 0x01, 0x05}, {89, 11, 0}},
                                      5},
                      // The address stored in the EEPROM is kept; the mode stays off in the chip.
                      ReadFailureCase{"FullReadFailsWithPowerDownOn",
                                      {{0x03, 0x05}, {1}, {0x01, 0x09}, {1}, {}},
                                      {{89, 11, 48},
                                       {89, 10, 48, 0x01, 0x05},
                                       {89, 11, 0},
                                       {89, 10, 0, 0x01, 0x09},
                                       {87, 18}},
                                      9}),
    [](const auto& info) { return std::string(info.param.name); });

class ScriptedProgTest : public ScriptedReadTest {
protected:
    static std::vector<std::uint8_t> write(std::uint8_t reg, std::uint16_t word) {
        return {89, 0, reg, static_cast<std::uint8_t>(word >> 8),
                static_cast<std::uint8_t>(word & 0xFF)};
    }
    // PROG with the power-down mode on, up to the verification, which succeeds.
    static ByteFrames progUntilVerified() {
        return {write(48, 0x0100), write(0, 0x0100), write(1, 0),
                write(2, 0),       write(3, 0),      {87, 0}};
    }
    // All registers zero but EEPROM word 0 and working word 48, both 0100h.
    static std::vector<std::uint8_t> verifiedRegisters() {
        std::vector<std::uint8_t> bytes = allRegisters(0x0100);
        bytes[0] = 0x01;
        return bytes;
    }
    void replyUntilVerified() { replies({{1}, {1}, {1}, {1}, {1}, verifiedRegisters()}); }
};

TEST_F(ScriptedProgTest, ARefusedWriteOfThePowerDownModeIsAskedAgainUntilTheChipTakesIt) {
    image()[48] = 0x0300;
    replies({{0}, {0}, {1}, {1}, {1}, {1}, {1}, verifiedRegisters(), {1}, {1}, {0x03, 0x00}, {1}});

    window->BtnProgClick();

    EXPECT_EQ(scripted->frames(), (ByteFrames{write(48, 0x0100),
                                              write(48, 0x0100),
                                              write(48, 0x0100),
                                              write(0, 0x0100),
                                              write(1, 0),
                                              write(2, 0),
                                              write(3, 0),
                                              {87, 0},
                                              write(0, 0x0300),
                                              write(48, 0x0100),
                                              {89, 1, 0},
                                              write(48, 0x0300)}));
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(image()[48], 0x0300);
    EXPECT_TRUE(find<QPushButton>("BtnProg")->isEnabled());
}

// After the EEPROM is verified, the mode goes into EEPROM word 0 and back into the working
// register; a failure there ends PROG with the mode put back into the working register.
// The chip that failed gets no further write; the mirror shows the mode off, as the chip
// holds it in its working register.
TEST_F(ScriptedProgTest, AFailureWhileStoringThePowerDownModeIsReportedWithNoFurtherWrite) {
    const struct {
        const char* name;
        std::vector<std::vector<std::uint8_t>> replies;  // after the verification
        ByteFrames frames;                               // after the verification
    } cases[] = {
        {"EEPROM word 0 refused", std::vector<std::vector<std::uint8_t>>(10, {0}),
         ByteFrames(10, write(0, 0x0300))},
        {"mode off unanswered", {{1}, {}}, {write(0, 0x0300), write(48, 0x0100)}},
        {"mode on unanswered",
         {{1}, {1}, {0x03, 0x00}, {}},
         {write(0, 0x0300), write(48, 0x0100), {89, 1, 0}, write(48, 0x0300)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scripted->calls.clear();
        sink.clear();
        image().fill(0);
        image()[48] = 0x0300;
        replyUntilVerified();
        replies(c.replies);

        window->BtnProgClick();

        ByteFrames expected = progUntilVerified();
        expected.insert(expected.end(), c.frames.begin(), c.frames.end());
        EXPECT_EQ(scripted->frames(), expected);
        EXPECT_EQ(sink.texts(), std::vector<std::string>{kCannotWrite});
        EXPECT_EQ(image()[48], 0x0100);
        EXPECT_FALSE(find<QPushButton>("BtnProg")->isEnabled());
    }
}

// A read-back that did not come cannot prove the EEPROM right, even when stale mirror words
// happen to agree.
TEST_F(ScriptedProgTest, ProgWhoseReadBackFailsReportsTheDataAsNotCorrectlyWritten) {
    image()[0] = image()[48] = 0x0100;
    replies({{1}, {1}, {1}, {1}, {}});

    window->BtnProgClick();

    EXPECT_EQ(scripted->frames(), (ByteFrames{{89, 0, 0, 0x01, 0x00},
                                              {89, 0, 1, 0, 0},
                                              {89, 0, 2, 0, 0},
                                              {89, 0, 3, 0, 0},
                                              {87, 0}}));
    EXPECT_EQ(sink.texts(), std::vector<std::string>{kNotCorrectlyWritten});
    EXPECT_FALSE(find<QPushButton>("BtnProg")->isEnabled());
}

}  // namespace
}  // namespace qe::ui::test
