// watch: the live readout, logged.

#include <QJsonArray>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>

#include "capture_session.h"
#include "command.h"
#include "command_options.h"
#include "readout.h"
#include "readout_commands.h"
#include "readout_csv_writer.h"
#include "readout_loop.h"
#include "readout_sample.h"
#include "recording_output.h"
#include "register_map.h"
#include "stream_recording_output.h"

namespace qe::cli {

namespace {

constexpr long long kMaxIntervalMs = 24LL * 3600 * 1000;
constexpr long long kMaxCount = 1LL << 40;

// Readouts a second over the rows' span; 0 with fewer than two rows.
double ratePerSecond(long long rows, std::int64_t elapsedNs) {
    if (rows < 2 || elapsedNs <= 0) return 0;
    return static_cast<double>(rows - 1) * 1e9 / static_cast<double>(elapsedNs);
}

// Where the readings go.
class ReadingLog {
public:
    virtual ~ReadingLog() = default;
    // False when the log cannot take more.
    virtual bool reading(const chip::ReadoutSample& sample) = 0;
    virtual bool gap(chip::WallTime time) = 0;
    // The reason when the log could not be completed, else empty.
    // Sets the tally's rows.
    virtual std::string finish(WatchTally& tally) = 0;
};

// One line per reading on standard output: the window's texts separated by tabs, or one
// JSON object.
class LineLog final : public ReadingLog {
public:
    explicit LineLog(Output& output) : output_(output) {}

    bool reading(const chip::ReadoutSample& sample) override {
        const chip::Readout& r = sample.readout;
        const std::string time = chip::isoTimeText(sample.wallTime);
        if (output_.json())
            output_.jsonLine({{"time", jsonText(time)},
                              {"ok", true},
                              {"counts", r.counts},
                              {"resolution", sample.resolutionCounts},
                              {"degrees", r.degrees},
                              {"absolute", r.absolute},
                              {"hz", r.hertz},
                              {"rpm", r.rpm},
                              {"magnetStatus", r.magnetStatus},
                              {"magnet", jsonText(chip::magnetStatusText(r.magnetStatus))},
                              {"agcPercent", r.agcPercent},
                              {"relPosAlarm", r.relPosAlarm},
                              {"absPosAlarm", r.absPosAlarm},
                              {"tachoAlarm", r.tachoAlarm}});
        else
            output_.line(time + "\t" + chip::countsText(r) + "\t" + chip::degreesText(r) + "\t" +
                         chip::absoluteText(r) + "\t" + chip::tachoText(r) + "\t" +
                         chip::magnetStatusText(r.magnetStatus) + "\t" + chip::agcText(r));
        output_.flush();
        return bool(output_.stream());
    }

    // A reading without a reply shows as the window shows it: "...".
    bool gap(chip::WallTime time) override {
        const std::string text = chip::isoTimeText(time);
        if (output_.json())
            output_.jsonLine({{"time", jsonText(text)}, {"ok", false}});
        else
            output_.line(text + "\t...");
        output_.flush();
        return bool(output_.stream());
    }

    std::string finish(WatchTally&) override {
        output_.flush();
        return output_.stream() ? std::string() : "standard output cannot be written";
    }

private:
    Output& output_;
};

// The recording's CSV: a comment line, the column names, one row per reading; a reading
// without a reply is a gap in the rows.
class CsvLog final : public ReadingLog {
public:
    CsvLog(std::unique_ptr<RecordingOutput> file, std::string path, Output& output, bool summary)
        : writer_(std::move(file)), path_(std::move(path)), output_(output), summary_(summary) {}

    bool start(const chip::RecordingSource& source) { return writer_.start(source); }
    // The summary also tells the capture's rate and how it ran.
    void setCapture(const chip::CaptureSession* capture) { capture_ = capture; }
    bool reading(const chip::ReadoutSample& sample) override { return writer_.append(sample); }
    bool gap(chip::WallTime) override { return !writer_.failed(); }

    std::string finish(WatchTally& tally) override {
        const bool finished = writer_.finish();
        tally.rows = static_cast<long long>(writer_.rowCount());
        tally.elapsedNs = writer_.elapsedNs();
        if (!finished) return path_ + ": " + writer_.error();
        if (path_ == "-" || !summary_) return {};
        const long long rows = tally.rows;
        const double rate = ratePerSecond(rows, tally.elapsedNs);
        if (output_.json()) {
            QJsonObject document{{"csv", jsonText(path_)},
                                 {"readings", tally.readings},
                                 {"rows", rows},
                                 {"gaps", tally.gaps}};
            if (capture_) {
                QJsonArray notes;
                for (const std::string& note : capture_->notes()) notes.append(jsonText(note));
                document.insert("readoutsPerSecond", std::round(rate * 10) / 10);
                document.insert("inFlight", static_cast<int>(capture_->inFlight()));
                document.insert("latencyMs", capture_->latencyMs());
                document.insert("notes", notes);
            }
            output_.document(document);
        } else {
            output_.line(std::to_string(rows) + " readouts written to " + path_ +
                         (tally.gaps ? " (" + std::to_string(tally.gaps) + " without a reply)"
                                     : std::string()));
            if (capture_)
                output_.line(chip::formatFixed(rate, 1) + " readouts a second, " +
                             std::to_string(capture_->inFlight()) + " in flight, latency timer " +
                             std::to_string(capture_->latencyMs()) + " ms");
        }
        return {};
    }

    const std::string& error() const { return writer_.error(); }

private:
    chip::ReadoutCsvWriter writer_;
    std::string path_;
    Output& output_;
    bool summary_;
    const chip::CaptureSession* capture_ = nullptr;
};

std::unique_ptr<ReadingLog> openLog(Invocation& call, const WatchOptions& options,
                                    const chip::CaptureSession* capture, std::string& error) {
    if (!options.csv) return std::make_unique<LineLog>(call.output);
    std::unique_ptr<RecordingOutput> file;
    if (*options.csv == "-") {
        file = std::make_unique<StreamRecordingOutput>(call.output.stream());
    } else {
        // A FIFO's reader is waited for as shell tools do, until Ctrl-C or TERM.
        file = RecordingFile::create(*options.csv, error, &call.environment.stopRequested);
        if (!file) {
            error = *options.csv + ": " + error;
            return nullptr;
        }
    }
    auto log =
        std::make_unique<CsvLog>(std::move(file), *options.csv, call.output, options.summary);
    log->setCapture(capture);
    Bench& bench = *call.bench;
    if (!log->start({bench.chip().chipAddress(), bench.chip().adapterSerial()})) {
        error = *options.csv + ": " + log->error();
        return nullptr;
    }
    return log;
}

// Hands the loop's readouts to the log for as long as it takes them; with a progress line,
// tells how far the log got ("watch: 120 of 1000 readouts, 2 without a reply").
class LogListener final : public chip::ReadoutObserver {
public:
    LogListener(ReadingLog& log, const chip::ReadoutLoop& loop, ProgressLine* progress,
                const WatchOptions& options)
        : log_(log), loop_(loop), progress_(progress), options_(options) {}
    bool logging() const { return logging_; }

private:
    void readoutArrived(const chip::ReadoutSample& sample) override {
        ++readings_;
        if (logging_) logging_ = log_.reading(sample);
        tell();
    }
    void readoutFailed(std::int64_t requestNs) override {
        ++gaps_;
        if (logging_) logging_ = log_.gap(loop_.wallTimeOf(requestNs));
        tell();
    }

    void tell() {
        if (!progress_ || !options_.count) return;
        progress_->update(options_.progressName + ": " + std::to_string(readings_) + " of " +
                          std::to_string(*options_.count) + " readouts" +
                          (gaps_ ? ", " + std::to_string(gaps_) + " without a reply" : ""));
    }

    ReadingLog& log_;
    const chip::ReadoutLoop& loop_;
    ProgressLine* progress_;
    const WatchOptions& options_;
    long long readings_ = 0;
    long long gaps_ = 0;
    bool logging_ = true;
};

}  // namespace

ReadoutEnding followReadout(Invocation& call, const WatchOptions& options, WatchTally& tally) {
    Bench& bench = *call.bench;
    chip::Chip& device = bench.chip();
    Environment& environment = call.environment;
    // A log cut short by Ctrl-C or TERM is an interruption, else the fault of where it goes.
    const auto logFailed = [&](const std::string& reason) {
        const bool toFile = options.csv && *options.csv != "-";
        return ReadoutEnding{environment.stopRequested ? int{kExitInterrupted}
                             : toFile                  ? exitStatusOf(FailureKind::FileRefused)
                                                       : int{kExitFailure},
                             reason};
    };
    // Started before the log, so that the file's first row is already at the capture's pace;
    // it ends (the designed latency timer back) before the log is finished and told.
    std::optional<chip::CaptureSession> capture;
    if (options.captureIntervalNs) capture.emplace(device, options.capture);
    std::string error;
    const std::unique_ptr<ReadingLog> log =
        openLog(call, options, capture ? &*capture : nullptr, error);
    if (!log) return logFailed(error);

    chip::ReadoutLoop& loop = device.readouts();
    // Not over readouts printed on the same terminal: they tell the progress themselves.
    const bool toTerminal = environment.outIsTerminal && (!options.csv || *options.csv == "-");
    LogListener listener(*log, loop, toTerminal ? nullptr : &call.progress, options);
    chip::ReadoutPace pace;
    pace.intervalNs = options.captureIntervalNs
                          ? *options.captureIntervalNs
                          : static_cast<std::int64_t>(options.intervalMs) * 1'000'000;
    pace.count = options.count;
    chip::ReadoutEnd end = chip::ReadoutEnd::Stopped;
    {
        const chip::ReadoutListening listening(loop.stream(), listener);
        end = loop.run(pace, [&] { return environment.stopRequested || !listener.logging(); });
    }
    call.progress.clear();
    if (capture) {
        capture->finish();
        tellCaptureNotes(call, *capture);
    }
    tally.readings = pace.readouts;
    tally.gaps = pace.gaps;
    if (end == chip::ReadoutEnd::AdapterLost || end == chip::ReadoutEnd::ChipSilent) {
        if (std::string unwritten = log->finish(tally); !unwritten.empty()) call.fail(unwritten);
        if (end == chip::ReadoutEnd::AdapterLost)
            return {exitStatusOf(FailureKind::AdapterLost),
                    "the adapter " + device.adapterSerial() + " stopped answering"};
        return {exitStatusOf(FailureKind::NoReply), "the chip stopped answering"};
    }
    bench.messages().clear();  // a reading without a reply is a line of the log, not a message
    if (std::string unwritten = log->finish(tally); !unwritten.empty()) return logFailed(unwritten);
    // A log shorter than the count asked for is not the log asked for.
    if (options.count && tally.readings < *options.count)
        return {kExitInterrupted, "stopped after " + std::to_string(tally.readings) + " of " +
                                      std::to_string(*options.count) + " readouts"};
    return {};
}

void tellCaptureNotes(Invocation& call, const chip::CaptureSession& capture) {
    for (const std::string& note : capture.notes())
        call.environment.err << "qe7204ctl: " << note << '\n';
}

namespace {

int runWatch(Invocation& call, const WatchOptions& options) {
    WatchTally tally;
    const ReadoutEnding ending = followReadout(call, options, tally);
    return ending.ok() ? kExitSuccess : call.fail(ending.reason, ending.status);
}

// The watch options as typed.
struct WatchArguments {
    std::optional<std::string> interval;
    std::optional<std::string> count;
    std::optional<std::string> csv;
    bool force = false;
    std::optional<std::string> rate;
    std::optional<std::string> inFlight;
    std::optional<std::string> latencyMs;
};

// --rate, --in-flight and --latency-ms into the options; the refusal's text when they do not go.
std::string readCapture(const WatchArguments& given, WatchOptions& options) {
    if (given.rate) {
        const double hz = parseDecimal(*given.rate).value_or(0);
        if (*given.rate == "max")
            options.captureIntervalNs = 0;
        else if (hz >= 1 && hz <= chip::kMaxCaptureRateHz)
            options.captureIntervalNs = std::llround(1e9 / hz);
        else
            return "--rate takes max or readouts a second from 1 to " +
                   chip::formatFixed(chip::kMaxCaptureRateHz, 0) + notText(given.rate);
    }
    if (given.inFlight) {
        const long long frames = parseInteger(*given.inFlight).value_or(0);
        const auto most = static_cast<long long>(AdapterLink::kMaxFramesInFlight);
        if (frames < 1 || frames > most)
            return "--in-flight takes a whole number from 1 to " + std::to_string(most) +
                   notText(given.inFlight);
        options.capture.inFlight = static_cast<std::size_t>(frames);
    }
    if (given.latencyMs) {
        if (*given.latencyMs != "1" && *given.latencyMs != "2")
            return "--latency-ms takes 1 or 2" + notText(given.latencyMs);
        options.capture.latencyMs = static_cast<std::uint8_t>(*given.latencyMs == "1" ? 1 : 2);
    }
    if ((given.inFlight || given.latencyMs) && !options.captureIntervalNs)
        return "--in-flight and --latency-ms need --rate";
    // Frames in flight are sent as fast as replies come; a pace sends one at a time.
    if (options.capture.inFlight > 1 && options.captureIntervalNs != 0)
        return "--in-flight needs --rate max";
    return {};
}

// --interval and --count: a whole number from 1 to `maximum`.
bool readWholeNumber(const std::optional<std::string>& text, const char* name, long long maximum,
                     long long& number, std::string& refusal) {
    if (!text) return true;
    number = parseInteger(*text).value_or(0);
    if (number >= 1 && number <= maximum) return true;
    refusal = std::string(name) + " takes a whole number from 1 to " + std::to_string(maximum) +
              notText(text);
    return false;
}

PreparedCommand prepareWatch(const WatchArguments& given) {
    WatchOptions options;
    std::string refusal;
    long long interval = options.intervalMs;
    long long count = 0;
    if (!readWholeNumber(given.interval, "--interval", kMaxIntervalMs, interval, refusal) ||
        !readWholeNumber(given.count, "--count", kMaxCount, count, refusal))
        return PreparedCommand::usage(refusal);
    options.intervalMs = static_cast<int>(interval);
    if (refusal = readCapture(given, options); !refusal.empty())
        return PreparedCommand::usage(refusal);
    if (given.count) options.count = count;
    options.force = given.force;
    options.csv = given.csv;
    if (options.csv && options.csv->empty())
        return PreparedCommand::usage("--csv takes a file name, or - for standard output");
    if (options.csv && *options.csv != "-")
        if (std::string exists = refuseToReplace(*options.csv, options.force); !exists.empty())
            return PreparedCommand::fileFault(exists);
    return {{}, Needs::Chip, [options](Invocation& call) { return runWatch(call, options); }};
}

}  // namespace

CommandPreparation declareWatch(CommandOptions& options) {
    auto given = std::make_shared<WatchArguments>();
    options.value("--interval", given->interval, "MS",
                  "Milliseconds from one readout to the next (default 50).");
    options.value("--count", given->count, "N", "Stop after N readouts (default: at Ctrl-C).");
    options.value("--csv", given->csv, "FILE|-",
                  "Write the readouts as CSV to FILE, or to standard output with -.");
    options.flag("--force", given->force, "Replace a CSV file that is already there.");
    options.value("--rate", given->rate, "max|HZ",
                  "Read as fast as the link goes, or HZ times a second, with the adapter's latency "
                  "timer low meanwhile.");
    options.value("--in-flight", given->inFlight, "N",
                  "With --rate max: requests kept on the line when the adapter takes them "
                  "(default 1).");
    options.value("--latency-ms", given->latencyMs, "1|2",
                  "With --rate: the latency timer while reading (default 2).");
    return [given] { return prepareWatch(*given); };
}

}  // namespace qe::cli
