#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "register_image.h"
#include "simulated_adapter.h"

namespace qe::sim {

// What a simulated adapter's chips hold, kept as a few lines of text so that the bench can
// outlive the process: each run of a command-line tool then finds the chips as the run
// before left them, as it would on a real bench. The magnet is not kept.
struct BenchSnapshot {
    struct Chip {
        std::array<std::uint16_t, kEepromWordCount> eeprom{};
        // Working words 48..55 while the supply is on.
        std::optional<std::array<std::uint16_t, kWorkingWordCount>> working;
        bool operator==(const Chip&) const = default;
    };
    bool supplyOn = false;
    std::vector<Chip> chips;
    bool operator==(const BenchSnapshot&) const = default;
};

BenchSnapshot takeSnapshot(SimulatedAdapter& adapter);

// Replaces the adapter's chips by those of the snapshot and switches the supply as it was.
void restoreSnapshot(SimulatedAdapter& adapter, const BenchSnapshot& snapshot);

// "supply on|off", then one line per chip: "chip", 32 EEPROM words, and with the supply on
// "working" and the 8 working words, all in hexadecimal.
std::string snapshotText(const BenchSnapshot& snapshot);
// Nothing when the text is not such a snapshot.
std::optional<BenchSnapshot> parseSnapshot(const std::string& text);

}  // namespace qe::sim
