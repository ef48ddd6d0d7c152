#include "bench.h"

#include <algorithm>

#include "log_categories.h"

namespace qe::cli {

namespace {

std::string addressList(const std::vector<std::uint8_t>& addresses) {
    std::string text;
    for (std::uint8_t address : addresses)
        text += (text.empty() ? "" : ", ") + std::to_string(address);
    return text;
}

}  // namespace

Bench::Bench(const GlobalOptions& options, Environment& environment)
    : options_(options), environment_(environment) {}

Bench::~Bench() {
    // Closed without switching the supply off: the chip stays powered for the next command.
    if (chip_) chip_->closeAdapter();
    if (chosen_ && !chosen_->keepBench())
        environment_.err << "qe7204ctl: cannot write " << options_.backend.benchFile << '\n';
}

bool Bench::prepare(std::string& error) {
    BackendSettings backend = options_.backend;
    backend.simulation.instantReplies = environment_.instantSimulation;
    chosen_ = ChosenDriver::make(backend, environment_.clock, environment_.realDriver, error);
    if (!chosen_) return false;
    if (chosen_->simulation() && environment_.onSimulation)
        environment_.onSimulation(*chosen_->simulation());
    FtdiDriver* driver = &chosen_->driver();
    if (options_.trace) {
        tracer_ = std::make_unique<TracingDriver>(
            *driver, environment_.clock,
            [this](const std::string& line) { environment_.err << "trace " << line << '\n'; });
        driver = tracer_.get();
    } else if (lcFrames().isDebugEnabled()) {
        tracer_ = std::make_unique<TracingDriver>(
            *driver, environment_.clock, [](const std::string& line) {
                qCDebug(lcFrames).noquote() << QString::fromStdString(line);
            });
        driver = tracer_.get();
    }
    driver_ = driver;
    chip_ = std::make_unique<chip::Chip>(*driver, environment_.clock, messages_,
                                         chip::AdapterPolicy::onlySerial(options_.serial));
    // Nobody watches a command line's exchanges the way the window's poll cycle paces them:
    // wait as long as a real adapter may take.
    chip_->setReplyTimeoutMs(options_.replyTimeoutMs
                                 ? static_cast<std::uint32_t>(*options_.replyTimeoutMs)
                                 : AdapterLink::kLoadedBusReplyTimeoutMs);
    return true;
}

chip::ScanResult Bench::powerOn() {
    // The supply counts as off when its report comes late, as it may on a busy computer;
    // the window shows that and the user presses "Power ON" again. So does this.
    chip::ScanResult scan = chip_->powerOn();
    for (int attempt = 1; attempt < kPowerOnAttempts && !chip_->chipPowered(); ++attempt)
        scan = chip_->powerOn();
    return scan;
}

chip::Result Bench::openChip() {
    if (chip::Result opened = chip_->openAdapter(); !opened.ok()) return opened;
    return reachChip();
}

chip::Result Bench::reachChip() {
    const chip::ScanResult scan = powerOn();
    if (chip::Result chosen = chooseChip(scan); !chosen.ok()) return chosen;
    chip::Result read = chip_->refreshSettings();
    if (read.ok()) chip_->deriveFromMirror();
    return read;
}

chip::Result Bench::chooseChip(const chip::ScanResult& scan) {
    using chip::Outcome;
    if (!chip_->chipPowered())
        return chip::Result::failed(Outcome::NoChip, "the adapter reports the chip supply off");
    const std::vector<std::uint8_t>& chips = chip_->chipsFound();
    if (scan.outcome == Outcome::NoChip || chips.empty())
        return chip::Result::failed(Outcome::NoChip, "no chip answers on the bus");
    if (options_.address) {
        const auto wanted = static_cast<std::uint8_t>(*options_.address);
        if (chip::Result selected = chip_->selectChip(wanted); !selected.ok())
            return chip::Result::failed(selected.outcome,
                                        selected.reason + " (chips at " + addressList(chips) + ")");
        // The one-chip rule's message does not apply to a chip picked by its address.
        messages_.clear();
        return chip::Result::done();
    }
    if (scan.outcome == Outcome::TooManyChips)
        return chip::Result::failed(Outcome::TooManyChips, scan.reason + " Chips answer at " +
                                                               addressList(chips) +
                                                               "; choose one with --address.");
    return chip::Result::done();
}

}  // namespace qe::cli
