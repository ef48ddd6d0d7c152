#include "bench_snapshot.h"

#include <cstdio>
#include <sstream>

namespace qe::sim {

namespace {

constexpr const char* kSupplyOnLine = "supply on";
constexpr const char* kSupplyOffLine = "supply off";

template <std::size_t N>
void appendWords(std::string& text, const std::array<std::uint16_t, N>& words) {
    char buffer[8];
    for (std::uint16_t word : words) {
        std::snprintf(buffer, sizeof buffer, " %04X", word);
        text += buffer;
    }
}

template <std::size_t N>
bool readWords(std::istringstream& in, std::array<std::uint16_t, N>& words) {
    for (std::uint16_t& word : words) {
        std::string token;
        if (!(in >> token) || token.empty() || token.size() > 4) return false;
        std::size_t used = 0;
        unsigned long value = 0;
        try {
            value = std::stoul(token, &used, 16);
        } catch (const std::exception&) {
            return false;
        }
        if (used != token.size()) return false;
        word = static_cast<std::uint16_t>(value);
    }
    return true;
}

std::optional<BenchSnapshot::Chip> parseChip(std::istringstream& in, bool supplyOn) {
    BenchSnapshot::Chip chip;
    if (!readWords(in, chip.eeprom)) return std::nullopt;
    std::string keyword;
    if (in >> keyword) {
        std::array<std::uint16_t, kWorkingWordCount> working{};
        if (keyword != "working" || !supplyOn || !readWords(in, working)) return std::nullopt;
        chip.working = working;
    } else if (supplyOn) {
        return std::nullopt;
    }
    std::string rest;
    if (in >> rest) return std::nullopt;
    return chip;
}

}  // namespace

BenchSnapshot takeSnapshot(SimulatedAdapter& adapter) {
    BenchSnapshot snapshot;
    snapshot.supplyOn = adapter.supplyOn();
    ChipBus& bus = adapter.bus();
    for (std::size_t i = 0; i < bus.chipCount(); ++i) {
        const Qe7204Chip& chip = bus.chip(i);
        BenchSnapshot::Chip state;
        for (std::size_t w = 0; w < state.eeprom.size(); ++w)
            state.eeprom[w] = chip.eepromWord(static_cast<std::uint8_t>(w));
        if (chip.powered()) {
            std::array<std::uint16_t, kWorkingWordCount> working{};
            for (std::size_t w = 0; w < working.size(); ++w)
                working[w] = chip.workingWord(static_cast<std::uint8_t>(kFirstWorkingWord + w));
            state.working = working;
        }
        snapshot.chips.push_back(state);
    }
    return snapshot;
}

void restoreSnapshot(SimulatedAdapter& adapter, const BenchSnapshot& snapshot) {
    ChipBus& bus = adapter.bus();
    bus.setPowered(false);
    bus.removeAllChips();
    for (const BenchSnapshot::Chip& state : snapshot.chips) {
        Qe7204Chip::Eeprom stored{};
        std::copy_n(state.eeprom.begin(), stored.size(), stored.begin());
        Qe7204Chip& chip = bus.addChip(stored);
        for (std::size_t w = stored.size(); w < state.eeprom.size(); ++w)
            chip.setEepromWord(static_cast<std::uint8_t>(w), state.eeprom[w]);
    }
    if (!snapshot.supplyOn) return;
    bus.setPowered(true);
    for (std::size_t i = 0; i < snapshot.chips.size(); ++i) {
        if (!snapshot.chips[i].working) continue;
        const auto& working = *snapshot.chips[i].working;
        for (std::size_t w = 0; w < working.size(); ++w)
            (void)bus.chip(i).write(static_cast<std::uint8_t>(kFirstWorkingWord + w), working[w]);
    }
}

std::string snapshotText(const BenchSnapshot& snapshot) {
    std::string text = snapshot.supplyOn ? kSupplyOnLine : kSupplyOffLine;
    text += '\n';
    for (const BenchSnapshot::Chip& chip : snapshot.chips) {
        text += "chip";
        appendWords(text, chip.eeprom);
        if (chip.working) {
            text += " working";
            appendWords(text, *chip.working);
        }
        text += '\n';
    }
    return text;
}

std::optional<BenchSnapshot> parseSnapshot(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line)) return std::nullopt;
    BenchSnapshot snapshot;
    if (line == kSupplyOnLine)
        snapshot.supplyOn = true;
    else if (line != kSupplyOffLine)
        return std::nullopt;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        std::istringstream in(line);
        std::string keyword;
        in >> keyword;
        if (keyword != "chip") return std::nullopt;
        auto chip = parseChip(in, snapshot.supplyOn);
        if (!chip) return std::nullopt;
        snapshot.chips.push_back(*chip);
    }
    return snapshot;
}

}  // namespace qe::sim
