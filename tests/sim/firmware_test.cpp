// The adapter's firmware and the chip as the host sees them: bytes written, bytes read.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "open_simulation.h"

namespace qe::sim::test {
namespace {

// Outputs of the typical chip at address 0 with the magnet standing at 1000 counts, in range.
const Bytes kOutputsAt1000 = {0x03, 0xE8, 0x03, 0xE8, 0x00, 0x00, 0x80, 0x00};

struct FrameCase {
    const char* name;
    Bytes frame;
    Bytes reply;
    std::string transcript;
};

class FrameReplies : public OpenSimulation, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FrameReplies, AnswerAsTheProtocolSays) {
    adapter.magnet().setAngle(1000 / 4096.0);
    const auto& c = GetParam();
    EXPECT_EQ(exchange(c.frame), c.reply);
    EXPECT_EQ(driver.transcript().frames(), std::vector<std::string>{c.transcript});
}

INSTANTIATE_TEST_SUITE_P(
    Sim, FrameReplies,
    ::testing::Values(
        FrameCase{"WriteWorkingWord", {'Y', 0, 49, 0x02, 0x05}, {0x01}, "W 0 49 0x0205"},
        FrameCase{"ReadWorkingWord", {'Y', 1, 48}, {0x01, 0x00}, "R 0 48"},
        FrameCase{"ReadEepromWord", {'Y', 1, 3}, {0x01, 0xC0}, "R 0 3"},
        FrameCase{"ReadOutputWord", {'Y', 1, 33}, {0x03, 0xE8}, "R 0 33"},
        FrameCase{"ReadUnusedWord", {'Y', 1, 40}, {0x00, 0x00}, "R 0 40"},
        FrameCase{"ReadOutputs", {'V', 0}, kOutputsAt1000, "readOutputs 0"},
        FrameCase{"Scan", {'X'}, {0x00, 0xFF}, "scan"},
        FrameCase{"QueryPower", {'Z', 4, 0}, {0x01}, "query power"},
        FrameCase{"ParameterEcho", {'Z', 2, 0xF0}, {0xF0}, "params 0xF0"},
        FrameCase{"PowerOnHasNoReply", {'Z', 3, 255}, {}, "power on"},
        FrameCase{"OutputWordIsReadOnly", {'Y', 0, 33, 0x00, 0x00}, {0x00}, "W 0 33 0x0000"},
        FrameCase{"NoSuchRegister", {'Y', 0, 56, 0x00, 0x00}, {0x00}, "W 0 56 0x0000"},
        FrameCase{"WriteToAbsentChip", {'Y', 10, 49, 0x00, 0x00}, {0x00}, "W 5 49 0x0000"},
        FrameCase{"ReadFromAbsentChipIsOpenBus", {'Y', 11, 48}, {0xFF, 0xFF}, "R 5 48"},
        FrameCase{"OutputsOfAbsentChip", {'V', 10}, Bytes(8, 0xFF), "readOutputs 5"},
        FrameCase{"ReadAllOfAbsentChip", {'W', 10}, Bytes(112, 0xFF), "readAll 5"}),
    [](const auto& info) { return std::string(info.param.name); });

class Firmware : public OpenSimulation {
protected:
    std::vector<std::string> firmwareLog() const {
        return driver.transcript().texts({Transcript::Kind::Frame, Transcript::Kind::Note});
    }
};

TEST_F(Firmware, ReadAllGivesEveryWordHighByteFirst) {
    adapter.magnet().setAngle(1000 / 4096.0);
    Bytes expected(112, 0x00);
    auto put = [&](int word, std::uint16_t value) {
        expected[2 * word] = static_cast<std::uint8_t>(value >> 8);
        expected[2 * word + 1] = static_cast<std::uint8_t>(value);
    };
    const auto eeprom = Qe7204Chip::typicalEeprom(0);
    for (int i = 0; i < 8; ++i) {
        put(i, eeprom[i]);
        put(48 + i, eeprom[i]);
    }
    std::copy(kOutputsAt1000.begin(), kOutputsAt1000.end(), expected.begin() + 64);
    EXPECT_EQ(exchange({'W', 0}), expected);
}

TEST_F(Firmware, FrameSplitOverSeveralWritesIsOneFrame) {
    const std::vector<std::vector<Bytes>> splits = {
        {{'Y', 1}, {48}},
        {{'Y'}, {0, 49}, {0x12, 0x34}},
        {{'Z', 2}, {0x5A}},
    };
    const std::vector<Bytes> replies = {{0x01, 0x00}, {0x01}, {0x5A}};
    for (std::size_t i = 0; i < splits.size(); ++i) {
        for (std::size_t part = 0; part + 1 < splits[i].size(); ++part) {
            send(splits[i][part]);
            EXPECT_EQ(arrived(), Bytes{}) << "split " << i << " answered early";
        }
        EXPECT_EQ(exchange(splits[i].back()), replies[i]) << "split " << i;
    }
    EXPECT_EQ(driver.transcript().frames(),
              (std::vector<std::string>{"R 0 48", "W 0 49 0x1234", "params 0x5A"}));
}

TEST_F(Firmware, UnknownBytesAreDroppedAndTheNextFrameIsUnderstood) {
    EXPECT_EQ(exchange({0x41, 0x00, 'Y', 1, 48}), (Bytes{0x01, 0x00}));
    EXPECT_EQ(exchange({'Z', 7, 0, 'X'}), (Bytes{0x00, 0xFF}));
    EXPECT_EQ(firmwareLog(), (std::vector<std::string>{"dropped 0x41", "dropped 0x00", "R 0 48",
                                                       "dropped 0x5A 0x07 0x00", "scan"}));
}

TEST_F(Firmware, AbandonsAFrameWhoseRestDoesNotCome) {
    send({'Y', 1});
    clock.advanceMs(40);
    EXPECT_EQ(exchange({48}), (Bytes{0x01, 0x00})) << "a pause within a frame is fine";

    send({'Y', 1});
    clock.advanceMs(60);
    EXPECT_EQ(exchange({'Y', 1, 49}), (Bytes{0x00, 0x00}));
    EXPECT_EQ(firmwareLog(), (std::vector<std::string>{"R 0 48", "dropped 0x59 0x01", "R 0 49"}));
}

TEST_F(Firmware, UnpoweredChipsAreSilent) {
    send({'Z', 3, 0});
    EXPECT_EQ(exchange({'Z', 4, 0}), Bytes{0x00});
    EXPECT_EQ(exchange({'X'}), Bytes{0xFF});
    EXPECT_EQ(exchange({'Y', 0, 49, 0x00, 0x01}), Bytes{0x00});
    EXPECT_EQ(exchange({'Y', 1, 48}), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(exchange({'V', 0}), Bytes(8, 0xFF));
}

TEST_F(Firmware, PowerUpLoadsWorkingWordsFromEeprom) {
    EXPECT_EQ(exchange({'Y', 0, 49, 0x01, 0x23}), Bytes{0x01});  // working word only
    EXPECT_EQ(exchange({'Y', 0, 1, 0x12, 0x34}), Bytes{0x01});   // EEPROM word 1
    EXPECT_EQ(exchange({'Y', 0, 5, 0xBE, 0xEF}), Bytes{0x01});   // EEPROM word 5
    EXPECT_EQ(exchange({'Y', 1, 49}), (Bytes{0x01, 0x23}))
        << "EEPROM writes leave the working words";
    send({'Z', 3, 0});
    send({'Z', 3, 255});
    EXPECT_EQ(exchange({'Y', 1, 49}), (Bytes{0x12, 0x34}));
    EXPECT_EQ(exchange({'Y', 1, 53}), (Bytes{0xBE, 0xEF}));
    EXPECT_EQ(exchange({'Y', 1, 1}), (Bytes{0x12, 0x34}));
}

TEST_F(Firmware, WriteOfWord48MovesTheChipAtOnce) {
    EXPECT_EQ(exchange({'Y', 0, 48, 0x01, 0x15}), Bytes{0x01})
        << "the old address still acknowledges";
    EXPECT_EQ(exchange({'Y', 1, 48}), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(exchange({'Y', 43, 48}), (Bytes{0x01, 0x15}));
    EXPECT_EQ(exchange({'X'}), (Bytes{0x15, 0xFF}));
    // Not stored: after a power cycle the EEPROM's address holds again.
    send({'Z', 3, 0});
    send({'Z', 3, 255});
    EXPECT_EQ(exchange({'X'}), (Bytes{0x00, 0xFF}));
}

TEST_F(Firmware, ScanListsPoweredChipsInAddressOrder) {
    adapter.addChip(0x42);
    adapter.addChip(0x07);
    EXPECT_EQ(exchange({'X'}), (Bytes{0x00, 0x07, 0x42, 0xFF}));
    adapter.removeChip(0);
    adapter.removeChip(0x42);
    EXPECT_EQ(exchange({'X'}), (Bytes{0x07, 0xFF}));
    adapter.removeChip(0x07);
    EXPECT_EQ(exchange({'X'}), Bytes{0xFF});
}

TEST_F(Firmware, ChipKeepsBitsTheToolNeverWrites) {
    // SSIcfg 2 and the unused bits stay as written.
    for (std::uint16_t value : {0x1000, 0x0680, 0xFFFF}) {
        const Bytes valueBytes = {static_cast<std::uint8_t>(value >> 8),
                                  static_cast<std::uint8_t>(value)};
        EXPECT_EQ(exchange({'Y', 0, 51, valueBytes[0], valueBytes[1]}), Bytes{0x01});
        EXPECT_EQ(exchange({'Y', 1, 51}), valueBytes);
    }
}

}  // namespace
}  // namespace qe::sim::test
