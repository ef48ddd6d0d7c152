#pragma once

#include <memory>
#include <optional>
#include <string>

#include "arguments.h"
#include "chip.h"
#include "chosen_driver.h"
#include "environment.h"
#include "recorded_messages.h"
#include "tracing_driver.h"

namespace qe::cli {

// What a command works on, made from the options: the driver (real, simulated or traced)
// and the device object over it. Nothing is opened until a command asks; on destruction the
// adapter is closed with the chip left powered, and a simulated bench kept in its file
// (--sim-state) for the next run.
class Bench {
public:
    static constexpr int kPowerOnAttempts = 3;

    Bench(const GlobalOptions& options, Environment& environment);
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // Makes the driver; false with the reason when it cannot be had.
    bool prepare(std::string& error);

    // "Power ON": the supply switched on and the bus scanned, asked again while the
    // adapter reports the supply off.
    chip::ScanResult powerOn();
    // The adapter opened, then reachChip().
    chip::Result openChip();
    // On an open adapter: the chip switched on as the window does, the bus scanned, the chip
    // chosen (the only one, or --address among several) and all its registers read into the
    // mirror.
    chip::Result reachChip();

    chip::Chip& chip() { return *chip_; }
    // The driver made for the options, asked why an open failed.
    const FtdiDriver& driver() const { return *driver_; }
    RecordedMessages& messages() { return messages_; }
    const GlobalOptions& options() const { return options_; }

private:
    chip::Result chooseChip(const chip::ScanResult& scan);

    const GlobalOptions& options_;
    Environment& environment_;
    std::unique_ptr<ChosenDriver> chosen_;
    std::unique_ptr<TracingDriver> tracer_;
    RecordedMessages messages_;
    FtdiDriver* driver_ = nullptr;
    std::unique_ptr<chip::Chip> chip_;
};

}  // namespace qe::cli
