#include "failure_kind.h"

#include <algorithm>
#include <vector>

#include "adapter_identity.h"
#include "bench.h"
#include "exit_status.h"

namespace qe::cli {

namespace {

FailureKind kindOf(chip::Outcome outcome) {
    switch (outcome) {
        case chip::Outcome::Done:
        case chip::Outcome::InputRefused:
            return FailureKind::Usage;
        case chip::Outcome::NoReply:
            return FailureKind::NoReply;
        case chip::Outcome::WriteRefused:
            return FailureKind::ChipRefused;
        case chip::Outcome::NotVerified:
            return FailureKind::NotVerified;
        case chip::Outcome::FileFailed:
            return FailureKind::FileRefused;
        case chip::Outcome::NoChip:
            return FailureKind::NoChip;
        case chip::Outcome::TooManyChips:
            return FailureKind::TooManyChips;
    }
    return FailureKind::NoChip;
}

}  // namespace

int exitStatusOf(FailureKind kind) {
    switch (kind) {
        case FailureKind::Usage:
            return kExitUsage;
        case FailureKind::NoAdapter:
        case FailureKind::AdapterBusy:
        case FailureKind::NoPermission:
        case FailureKind::AdapterLost:
            return kExitAdapter;
        case FailureKind::NoChip:
        case FailureKind::TooManyChips:
        case FailureKind::NoReply:
        case FailureKind::ChipRefused:
        case FailureKind::NotVerified:
        case FailureKind::MagnetCheckFailed:
            return kExitChip;
        case FailureKind::FileRefused:
            return kExitFile;
    }
    return kExitFailure;
}

CommandFailure whyNotReached(Bench& bench, const FtdiDriver& driver, const chip::Result& reached,
                             const std::string& serialAsked) {
    const std::string reason = reached.reason;
    chip::Chip& link = bench.chip();
    if (!link.adapterOpen()) {
        std::vector<const DeviceInfoNode*> candidates;
        for (const DeviceInfoNode& node : link.devices())
            if (describesAdapter(node) &&
                (serialAsked.empty() || node.serialNumber() == serialAsked))
                candidates.push_back(&node);
        const bool allBusy =
            !candidates.empty() &&
            std::all_of(candidates.begin(), candidates.end(),
                        [](const DeviceInfoNode* n) { return (n->Flags & 1u) != 0; });
        if (allBusy)
            return {FailureKind::AdapterBusy,
                    (serialAsked.empty() ? std::string("the port of every QE7204 adapter")
                                         : "the port of the adapter " + serialAsked) +
                        " is in use by another program"};
        if (const std::string advice = driver.openFailureAdvice(); !advice.empty())
            return {FailureKind::NoPermission, reason + "\n" + advice};
        return {FailureKind::NoAdapter, reason.empty() ? "no QE7204 adapter found" : reason};
    }
    if (!link.checkConnection())
        return {FailureKind::AdapterLost,
                "the adapter " + bench.chip().adapterSerial() + " stopped answering"};
    return {kindOf(reached.outcome), reason.empty() ? "the chip could not be reached" : reason};
}

CommandFailure whyFailed(Bench& bench, const chip::Result& result, const std::string& fallback) {
    const std::string reason = result.reason;
    if (result.outcome != chip::Outcome::InputRefused &&
        result.outcome != chip::Outcome::FileFailed && !bench.chip().checkConnection())
        return {FailureKind::AdapterLost, "the adapter " + bench.chip().adapterSerial() +
                                              " stopped answering" +
                                              (reason.empty() ? "" : " (" + reason + ")")};
    return {kindOf(result.outcome), reason.empty() ? fallback : reason};
}

}  // namespace qe::cli
