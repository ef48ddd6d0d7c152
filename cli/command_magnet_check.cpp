// magnet-check: the magnet's mounting judged from the live readout while the shaft turns.

#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <ostream>

#include "command.h"
#include "command_options.h"
#include "magnet_check.h"
#include "magnet_check_recording.h"
#include "readout.h"
#include "readout_commands.h"
#include "readout_csv_writer.h"
#include "readout_loop.h"

namespace qe::cli {

namespace {

constexpr int kMaxTurns = 50;
constexpr double kMaxTimeoutSeconds = 24.0 * 3600.0;
// Progress is told every quarter turn.
constexpr double kProgressStepTurns = 0.25;
// --fast: frames in flight when the adapter takes them, for many readouts a turn at motor speed.
constexpr std::size_t kFastInFlight = 8;

std::string turnsText(int turns) {
    return std::to_string(turns) + (turns == 1 ? " turn" : " turns");
}

std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

int printReport(Invocation& call, const MagnetCheckOptions& options,
                const chip::MagnetCheckResult& result) {
    if (!result.report) return call.fail(FailureKind::MagnetCheckFailed, lowerFirst(result.error));
    if (options.json || call.output.json())
        call.output.document(QJsonDocument::fromJson(
                                 QByteArray::fromStdString(chip::magnetReportJson(*result.report)))
                                 .object());
    else
        call.output.stream() << chip::magnetReportText(*result.report);
    call.output.flush();
    if (!call.output.stream()) return call.fail("standard output cannot be written");
    const chip::MagnetVerdict verdict = result.report->verdict;
    if (options.require && verdict > *options.require)
        return call.fail(std::string("the magnet is ") + chip::verdictText(verdict) +
                             ", below --require " + chip::verdictText(*options.require),
                         kExitVerdict);
    return kExitSuccess;
}

int analyseRecording(Invocation& call, const MagnetCheckOptions& options) {
    chip::MagnetCheckResult result =
        chip::checkRecording(chip::readMagnetRecordingFile(options.from), options.turns);
    if (!result.report)
        return call.fail(FailureKind::FileRefused, options.from + ": " + lowerFirst(result.error));
    result.report->source.toolVersion = QE7204_VERSION;
    result.report->source.recording = options.from;
    return printReport(call, options, result);
}

// Adds the loop's readouts to the check and tells the progress every quarter turn: a line
// each, or on a terminal the progress line.
class CheckListener final : public chip::ReadoutObserver {
public:
    CheckListener(chip::MagnetCheck& check, std::ostream* progress, ProgressLine& line)
        : check_(check), progress_(progress), line_(line) {}

private:
    void readoutArrived(const chip::ReadoutSample& sample) override {
        check_.add(sample);
        const int turns = check_.turnsWanted();
        if (line_.shown()) {
            line_.update("magnet-check: turned " +
                         chip::formatFixed(std::min(check_.turnsDone(), 1.0 * turns), 2) + " of " +
                         turnsText(turns));
            return;
        }
        const int steps =
            static_cast<int>(std::min(check_.turnsDone(), 1.0 * turns) / kProgressStepTurns);
        if (!progress_ || steps <= told_) return;
        told_ = steps;
        *progress_ << "turned " << chip::formatFixed(steps * kProgressStepTurns, 2) << " of "
                   << turnsText(turns) << '\n';
    }

    chip::MagnetCheck& check_;
    std::ostream* progress_;
    ProgressLine& line_;
    int told_ = 0;
};

}  // namespace

ReadoutEnding followMagnetCheck(Invocation& call, const MagnetCheckOptions& options,
                                chip::MagnetCheckResult& result) {
    Bench& bench = *call.bench;
    chip::Chip& device = bench.chip();
    Environment& environment = call.environment;
    Clock& clock = environment.clock;
    const bool json = options.json || call.output.json();

    chip::MagnetCheck check(options.turns);
    const auto timeoutNs = static_cast<std::int64_t>(std::llround(options.timeoutSeconds * 1e9));
    const std::int64_t deadlineNs = clock.nowNs() + timeoutNs;
    if (!json) environment.err << "turn the shaft through " << turnsText(options.turns) << '\n';
    CheckListener listener(check, json ? nullptr : &environment.err, call.progress);
    chip::ReadoutLoop& loop = device.readouts();
    chip::ReadoutPace pace;
    std::optional<chip::CaptureSession> capture;
    if (options.fast) {
        capture.emplace(device, chip::CaptureOptions{.inFlight = kFastInFlight});
        pace.intervalNs = 0;
    }
    chip::ReadoutEnd end = chip::ReadoutEnd::Stopped;
    {
        const chip::ReadoutListening listening(loop.stream(), listener);
        end = loop.run(pace, [&] {
            return check.complete() || environment.stopRequested || clock.nowNs() >= deadlineNs;
        });
    }
    call.progress.clear();
    if (capture) {
        capture->finish();
        tellCaptureNotes(call, *capture);
    }
    if (end == chip::ReadoutEnd::AdapterLost)
        return {exitStatusOf(FailureKind::AdapterLost),
                "the adapter " + device.adapterSerial() + " stopped answering"};
    if (end == chip::ReadoutEnd::ChipSilent)
        return {exitStatusOf(FailureKind::NoReply), "the chip stopped answering"};
    const std::string wanted = " of " + turnsText(options.turns);
    if (!check.complete() && environment.stopRequested)
        return {kExitInterrupted,
                "stopped after " + chip::formatFixed(check.turnsDone(), 2) + wanted};
    if (!check.complete())
        return {exitStatusOf(FailureKind::MagnetCheckFailed),
                "the shaft turned " + chip::formatFixed(check.turnsDone(), 2) + wanted + " in " +
                    chip::formatFixed(options.timeoutSeconds, 0) +
                    " s: turn it further, or allow more time with --timeout"};
    bench.messages().clear();  // a reading without a reply is a gap, not a message

    result = check.result();
    if (result.report)
        result.report->source = {chip::isoTimeText(std::chrono::system_clock::now()),
                                 QE7204_VERSION,
                                 device.adapterSerial(),
                                 device.chipAddress(),
                                 {}};
    if (!result.report)
        return {exitStatusOf(FailureKind::MagnetCheckFailed), lowerFirst(result.error)};
    return {};
}

namespace {

int runMagnetCheck(Invocation& call, const MagnetCheckOptions& options) {
    chip::MagnetCheckResult result;
    if (const ReadoutEnding ending = followMagnetCheck(call, options, result); !ending.ok())
        return call.fail(ending.reason, ending.status);
    return printReport(call, options, result);
}

}  // namespace

std::optional<chip::MagnetVerdict> requiredVerdict(const std::optional<std::string>& text,
                                                   std::string& refusal) {
    if (text == std::string("good")) return chip::MagnetVerdict::Good;
    if (text == std::string("marginal")) return chip::MagnetVerdict::Marginal;
    refusal = "--require takes good or marginal" + notText(text);
    return std::nullopt;
}

namespace {

// The magnet-check options as typed.
struct MagnetCheckArguments {
    std::optional<std::string> turns;
    std::optional<std::string> timeout;
    std::optional<std::string> require;
    std::optional<std::string> from;
    bool fast = false;
};

PreparedCommand prepareMagnetCheck(const MagnetCheckArguments& given) {
    MagnetCheckOptions options;
    options.fast = given.fast;
    if (given.from) {
        if (given.from->empty())
            return PreparedCommand::usage("--from takes the name of a recording");
        options.from = *given.from;
    }
    if (given.require) {
        std::string refusal;
        options.require = requiredVerdict(*given.require, refusal);
        if (!options.require) return PreparedCommand::usage(refusal);
    }
    if (given.turns) {
        const long long turns = parseInteger(*given.turns).value_or(0);
        if (turns < 1 || turns > kMaxTurns)
            return PreparedCommand::usage("--turns takes a whole number from 1 to " +
                                          std::to_string(kMaxTurns) + notText(given.turns));
        options.turns = static_cast<int>(turns);
    }
    if (given.timeout) {
        const std::optional<double> seconds = parseDecimal(*given.timeout);
        if (!seconds || *seconds <= 0 || *seconds > kMaxTimeoutSeconds)
            return PreparedCommand::usage("--timeout takes seconds, more than 0 and up to " +
                                          chip::formatFixed(kMaxTimeoutSeconds, 0) +
                                          notText(given.timeout));
        options.timeoutSeconds = *seconds;
    }
    if (!options.from.empty())
        return {{}, Needs::Nothing, [options](Invocation& call) {
                    return analyseRecording(call, options);
                }};
    return {{}, Needs::Chip, [options](Invocation& call) { return runMagnetCheck(call, options); }};
}

}  // namespace

CommandPreparation declareMagnetCheck(CommandOptions& options) {
    auto given = std::make_shared<MagnetCheckArguments>();
    options.value("--turns", given->turns, "N", "Whole turns to judge (default 2).");
    options.value("--timeout", given->timeout, "S", "Seconds the turns may take (default 60).");
    options.value("--require", given->require, "good|marginal",
                  "The worst verdict that passes; a worse one exits with 7.");
    options.value("--from", given->from, "FILE.csv",
                  "Judge a recording the tool wrote instead of the live readout.");
    options.flag("--fast", given->fast,
                 "Read as watch --rate max --in-flight 8 does, for a shaft at motor speed.");
    return [given] { return prepareMagnetCheck(*given); };
}

}  // namespace qe::cli
