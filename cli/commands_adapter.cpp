// list, scan, power: the adapter and the chip supply.

#include <QJsonArray>

#include "adapter_identity.h"
#include "command.h"
#include "exit_status.h"

namespace qe::cli {

namespace {

QJsonArray addressArray(const std::vector<std::uint8_t>& addresses) {
    QJsonArray array;
    for (std::uint8_t address : addresses) array.append(address);
    return array;
}

std::string addressText(const std::vector<std::uint8_t>& addresses) {
    std::string text;
    for (std::uint8_t address : addresses)
        text += (text.empty() ? "" : ", ") + std::to_string(address);
    return text;
}

int runList(Invocation& call) {
    Bench& bench = *call.bench;
    QJsonArray adapters;
    int found = 0;
    for (const DeviceInfoNode& node : bench.chip().devices()) {
        if (!describesAdapter(node)) continue;
        ++found;
        // Opened by any program, as the backend that lists it can tell.
        const bool open = (node.Flags & 1u) != 0;
        const std::string backend = bench.driver().backendOf(node);
        if (call.output.json())
            adapters.append(QJsonObject{{"serial", jsonText(node.serialNumber())},
                                        {"description", jsonText(node.description())},
                                        {"backend", jsonText(backend)},
                                        {"open", open}});
        else
            call.output.line(node.serialNumber() + "\t" + (open ? "open" : "free") + "\t" +
                             backend + "\t" + node.description());
    }
    if (call.output.json()) call.output.document({{"adapters", adapters}});
    return found > 0 ? kExitSuccess : call.fail(FailureKind::NoAdapter, "no QE7204 adapter found");
}

int runScan(Invocation& call) {
    Bench& bench = *call.bench;
    // Scanned on the supply the window switches on at start-up; the one-chip rule does not
    // apply to a list of the chips.
    (void)bench.powerOn();
    bench.messages().clear();
    const auto& chips = bench.chip().chipsFound();
    if (call.output.json())
        call.output.document(
            {{"supply", bench.chip().chipPowered()}, {"chips", addressArray(chips)}});
    else
        for (std::uint8_t address : chips) call.output.line(std::to_string(address));
    if (!bench.chip().chipPowered())
        return call.fail(FailureKind::NoChip, "the adapter reports the chip supply off");
    return chips.empty() ? call.fail(FailureKind::NoChip, "no chip answers on the bus")
                         : kExitSuccess;
}

int runPowerOn(Invocation& call) {
    Bench& bench = *call.bench;
    const chip::ScanResult scan = bench.powerOn();
    if (!bench.chip().chipPowered())
        return call.fail(FailureKind::NoChip, "the adapter reports the chip supply off");
    if (scan.ok()) {
        if (chip::Result read = bench.chip().refreshSettings(); !read.ok())
            return call.fail(read, "the settings could not be read");
    }
    const auto& chips = bench.chip().chipsFound();
    if (call.output.json())
        call.output.document({{"supply", true}, {"chips", addressArray(chips)}});
    else
        call.output.line("supply on" + (chips.empty() ? "; no chip answers"
                                                      : "; chips at " + addressText(chips)));
    return kExitSuccess;
}

int runPowerOff(Invocation& call) {
    Bench& bench = *call.bench;
    bench.chip().powerOff();
    if (bench.chip().chipPowered())
        return call.fail(FailureKind::ChipRefused, "the adapter still reports the chip supply on");
    if (call.output.json())
        call.output.document({{"supply", false}});
    else
        call.output.line("supply off");
    return kExitSuccess;
}

}  // namespace

CommandPreparation declareList(CommandOptions&) {
    return [] { return PreparedCommand{{}, Needs::Devices, runList}; };
}

CommandPreparation declareScan(CommandOptions&) {
    return [] { return PreparedCommand{{}, Needs::Adapter, runScan}; };
}

CommandPreparation declarePower(CommandOptions& options) {
    return [words = declareWords(options, "on|off")] {
        const std::vector<std::string>& args = *words;
        if (args.size() != 1 || (args[0] != "on" && args[0] != "off"))
            return PreparedCommand::usage("power takes \"on\" or \"off\"");
        return PreparedCommand{{}, Needs::Adapter, args[0] == "on" ? runPowerOn : runPowerOff};
    };
}

}  // namespace qe::cli
