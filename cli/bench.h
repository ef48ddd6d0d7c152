#pragma once

#include <memory>
#include <optional>
#include <string>

#include "adapter_link.h"
#include "arguments.h"
#include "chip_connection.h"
#include "chip_session.h"
#include "environment.h"
#include "recorded_messages.h"
#include "register_image.h"
#include "simulated_driver.h"
#include "tracing_driver.h"

namespace qe::cli {

// What a command works on: the driver (real, simulated or traced), the adapter link and
// the chip core over it. Nothing is opened until a command asks; on destruction the
// adapter is closed with the chip left powered, and a simulated bench kept in its state
// file for the next run.
class Bench {
public:
    static constexpr int kPowerOnAttempts = 3;

    Bench(const GlobalOptions& options, Environment& environment);
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    // Makes the driver; false with the reason when it cannot be had.
    bool prepare(std::string& error);

    // The attached adapters, as the driver lists them.
    void enumerate();
    // Opens the adapter (--serial: only that one). No chip is touched.
    chip::Result openAdapter();
    // "Power ON": the supply switched on and the bus scanned, asked again while the
    // adapter reports the supply off.
    chip::ScanResult powerOn();
    // The chip switched on as the window does, the bus scanned, the chip chosen (the only
    // one, or --address among several) and all its registers read into the mirror.
    chip::Result openChip();

    AdapterLink& link() { return *link_; }
    chip::ChipSession& session() { return *session_; }
    chip::ChipConnection& connection() { return *connection_; }
    RecordedMessages& messages() { return messages_; }
    const GlobalOptions& options() const { return options_; }
    std::string adapterSerial() const;

private:
    chip::Result chooseChip(const chip::ScanResult& scan);
    void keepSimulatedState();

    const GlobalOptions& options_;
    Environment& environment_;
    std::unique_ptr<sim::SimulatedDriver> simulation_;
    bool keepState_ = false;  // the --sim-state file held a bench, or none was there yet
    std::unique_ptr<FtdiDriver> realDriver_;
    std::unique_ptr<TracingDriver> tracer_;
    RegisterImage image_{};
    RecordedMessages messages_;
    std::unique_ptr<AdapterLink> link_;
    std::unique_ptr<chip::ChipSession> session_;
    std::unique_ptr<chip::ChipConnection> connection_;
};

}  // namespace qe::cli
