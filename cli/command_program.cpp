// program: one unit on a production line in one run, with the adapter held throughout.

#include <QJsonDocument>

#include <chrono>
#include <span>

#include "command.h"
#include "configuration_reader.h"
#include "readout_commands.h"
#include "readout_csv_writer.h"
#include "record_spool.h"
#include "regular_file.h"
#include "stoppable_wait.h"
#include "unit_record.h"

namespace qe::cli {

namespace {

// The supply stays off this long in --verify-power-cycle, so that the chip really restarts
// from its EEPROM.
constexpr std::int64_t kSupplyOffNs = 500'000'000;
constexpr long long kMaxLogCount = 1LL << 40;

struct ProgramOptions {
    std::string golden;
    bool verifyPowerCycle = false;
    bool magnetCheck = false;
    std::optional<chip::MagnetVerdict> require;
    std::optional<long long> logCount;
    std::string logFile;
    std::string recordFile;
    std::optional<records::DatabaseUrl> recordDb;
    std::string station;      // empty: the host name
    std::string recordSpool;  // empty: the default spool
    bool force = false;
};

// How a step ended: the status to exit with and, for a failure, the reason.
struct StepEnd {
    int status = kExitSuccess;
    std::string reason;
    bool ok() const { return status == kExitSuccess; }
};

StepEnd failedWith(const CommandFailure& failure) {
    return {exitStatusOf(failure.kind), failure.reason};
}

std::string wordRange(int written) {
    if (written <= 0) return "before any EEPROM word was written";
    if (written == 1) return "after EEPROM word 0 was written";
    return "after EEPROM words 0.." + std::to_string(written - 1) + " were written";
}

std::string hexWord(const std::optional<std::uint16_t>& word) {
    if (!word) return "missing";
    static const char* digits = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(*word >> shift) & 0xF];
    return text;
}

// The first word where the chip differs from the golden file, named as show names it.
std::string firstDifference(const ConfigurationWords& golden, const UnitRecord::ReadBack& chip) {
    for (std::size_t i = 0; i < golden.size(); ++i) {
        if (chip.working[i] != golden[i])
            return "working word " + std::to_string(kFirstWorkingWord + i) + " is " +
                   hexWord(chip.working[i]) + ", the golden file has " + hexWord(golden[i]);
        if (chip.eeprom[i] != golden[i])
            return "EEPROM word " + std::to_string(i) + " is " + hexWord(chip.eeprom[i]) +
                   ", the golden file has " + hexWord(golden[i]);
    }
    return {};
}

class UnitRun {
public:
    UnitRun(Invocation& call, const ProgramOptions& options, ConfigurationFileContent golden)
        : call_(call), options_(options), golden_(std::move(golden)) {
        record_.toolVersion = QE7204_VERSION;
        record_.started = chip::isoTimeText(std::chrono::system_clock::now());
        record_.goldenFile = options.golden;
    }

    int run() {
        const bool passed = step("golden", [&] { return checkGolden(); }) && runOnBench();
        (void)passed;
        return finish();
    }

private:
    // Steps that need the adapter, all on one open of it.
    bool runOnBench() {
        Bench bench(call_.options, call_.environment);
        Invocation unit{call_.options, call_.environment, call_.output, &bench, call_.progress};
        bench_ = &bench;
        unit_ = &unit;
        const bool passed =
            step("adapter", [&] { return openAdapter(); }) &&
            step("chip", [&] { return reachOneChip("chip"); }) &&
            step("load", [&] { return load(); }) && step("prog", [&] { return prog(); }) &&
            step("verify", [&] { return verify(record_.readBack); }) &&
            (!options_.verifyPowerCycle || step("power-cycle", [&] { return powerCycle(); })) &&
            (!options_.magnetCheck || step("magnet-check", [&] { return magnetCheck(); })) &&
            (!options_.logCount || step("log", [&] { return logReadouts(); }));
        bench_ = nullptr;
        unit_ = nullptr;
        return passed;
    }

    template <typename Body>
    bool step(const char* name, Body body) {
        Clock& clock = call_.environment.clock;
        const std::int64_t startNs = clock.nowNs();
        call_.progress.update(std::string("program: ") + name, true);
        const StepEnd end = call_.environment.stopRequested
                                ? StepEnd{kExitInterrupted, std::string("stopped before ") + name}
                                : body();
        call_.progress.clear();
        const std::int64_t durationMs = (clock.nowNs() - startNs) / 1'000'000;
        record_.steps.push_back({name, end.ok(), durationMs});
        if (!end.ok()) {
            record_.failedStep = name;
            record_.reason = end.reason;
            record_.exitStatus = end.status;
        }
        if (!call_.output.json())
            call_.output.line(std::string(name) + "\t" + (end.ok() ? "ok" : "failed") + "\t" +
                              std::to_string(durationMs) + " ms");
        call_.output.flush();
        return end.ok();
    }

    chip::Chip& device() { return bench_->chip(); }

    // A failed chip operation; a lost adapter is named with the step it was lost in.
    StepEnd failed(const char* stepName, const chip::Result& result, const std::string& fallback,
                   const std::string& progress = {}) {
        CommandFailure failure = whyFailed(*bench_, result, fallback);
        if (failure.kind == FailureKind::AdapterLost)
            failure.reason = lostDuring(stepName, progress);
        return failedWith(failure);
    }

    // After the adapter was opened, any failure of the adapter is its loss.
    StepEnd lostIfAdapter(const char* stepName, StepEnd end) {
        if (end.status == kExitAdapter) end.reason = lostDuring(stepName);
        return end;
    }

    std::string lostDuring(const char* stepName, const std::string& progress = {}) {
        return "the adapter " + device().adapterSerial() + " was lost during " + stepName +
               (progress.empty() ? "" : " " + progress) + ": re-seat it and run again";
    }

    StepEnd checkGolden() {
        if (!golden_.ok()) return {kExitFile, golden_.error};
        record_.goldenSha256 = sha256Hex(golden_.bytes);
        record_.written = golden_.words;
        return {};
    }

    StepEnd openAdapter() {
        std::string error;
        if (!bench_->prepare(error)) return {kExitFailure, error};
        const chip::Result opened = device().openAdapter();
        record_.adapterSerial = device().adapterSerial();
        if (!opened.ok())
            return failedWith(
                whyNotReached(*bench_, bench_->driver(), opened, call_.options.serial));
        record_.adapterBackend = device().adapterBackend();
        return {};
    }

    StepEnd reachOneChip(const char* stepName) {
        const chip::Result reached = bench_->reachChip();
        if (!reached.ok())
            return lostIfAdapter(stepName,
                                 failedWith(whyNotReached(*bench_, bench_->driver(), reached,
                                                          call_.options.serial)));
        if (!device().oneChip())
            return failedWith({FailureKind::TooManyChips,
                               std::to_string(device().chipsFound().size()) +
                                   " chips answer on the bus: program one unit at a time"});
        record_.chipAddress = device().chipAddress();
        return {};
    }

    StepEnd load() {
        // The file was read whole before; the chip gets it through the window's LOAD, and
        // verify compares with the words read then.
        if (const chip::Result read =
                device().loadFile(options_.golden, chip::LoadAccess::ReadOnly);
            !read.ok())
            return {kExitFile, options_.golden + ": " + read.reason};
        const chip::Result written = device().writeLoadedWords();
        if (!written.ok()) return failed("load", written, "the chip did not take every word");
        record_.chipAddress = device().chipAddress();
        return {};
    }

    StepEnd prog() {
        const chip::Result programmed = device().programEeprom();
        record_.eepromWordsWritten = programmed.eepromWordsWritten;
        if (programmed.ok()) return {};
        return failed("prog", programmed, "the EEPROM was not programmed",
                      wordRange(programmed.eepromWordsWritten));
    }

    // Every register read back and compared with the golden file.
    StepEnd verify(std::optional<UnitRecord::ReadBack>& readBack) {
        const chip::Result read = device().refreshSettings();
        if (!read.ok()) return failed("verify", read, "the registers could not be read back");
        readBack = UnitRecord::ReadBack{chip::workingWords(device().image()),
                                        chip::eepromWords(device().image())};
        if (const std::string difference = firstDifference(golden_.words, *readBack);
            !difference.empty())
            return failedWith({FailureKind::NotVerified, "not verified: " + difference});
        return {};
    }

    StepEnd powerCycle() {
        device().powerOff();
        if (!device().adapterOpen() || !device().checkConnection())
            return {exitStatusOf(FailureKind::AdapterLost), lostDuring("power-cycle")};
        if (device().chipPowered())
            return failedWith(
                {FailureKind::ChipRefused, "the adapter still reports the chip supply on"});
        waitUntil(call_.environment, call_.environment.clock.nowNs() + kSupplyOffNs);
        if (call_.environment.stopRequested)
            return {kExitInterrupted, "stopped with the chip supply off"};
        if (const StepEnd reached = reachOneChip("power-cycle"); !reached.ok()) return reached;
        return verify(record_.afterPowerCycle);
    }

    StepEnd magnetCheck() {
        MagnetCheckOptions options;
        options.json = call_.output.json();
        chip::MagnetCheckResult result;
        if (const ReadoutEnding ending = followMagnetCheck(*unit_, options, result); !ending.ok())
            return lostIfAdapter("magnet-check", {ending.status, ending.reason});
        const chip::MagnetReport& report = *result.report;
        record_.magnet =
            QJsonDocument::fromJson(QByteArray::fromStdString(chip::magnetReportJson(report)))
                .object();
        if (options_.require && report.verdict > *options_.require)
            return {kExitVerdict, std::string("the magnet is ") +
                                      chip::verdictText(report.verdict) + ", below --require " +
                                      chip::verdictText(*options_.require)};
        return {};
    }

    StepEnd logReadouts() {
        WatchOptions options;
        options.count = options_.logCount;
        options.csv = options_.logFile;
        options.force = options_.force;
        options.summary = false;
        options.progressName = "log";
        WatchTally tally;
        const ReadoutEnding ending = followReadout(*unit_, options, tally);
        record_.log = UnitRecord::Log{options_.logFile, *options_.logCount, tally.readings,
                                      tally.rows, tally.gaps};
        return lostIfAdapter("log", {ending.status, ending.reason});
    }

    int finish() {
        int status = record_.exitStatus;
        if (!record_.failedStep.empty()) call_.fail(record_.reason, status);
        QJsonObject json = unitRecordJson(record_);
        if (options_.recordDb) {
            const records::UnitRecordRow row =
                records::UnitRecordRow::forNewUnit(json, QString::fromStdString(options_.station));
            json.insert("unit_id", row.unitId);
            json.insert("station", row.station);
            status = recordInDatabase(row, status);
        }
        if (!options_.recordFile.empty()) {
            const std::string text =
                QJsonDocument(json).toJson(QJsonDocument::Indented).toStdString();
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
            if (replaceFileContents(options_.recordFile, std::span(bytes, text.size())) != 0) {
                const std::string reason = options_.recordFile + ": the record cannot be written";
                return status != kExitSuccess ? (call_.fail(reason), status)
                                              : call_.fail(reason, kExitFile);
            }
        }
        if (call_.output.json())
            call_.output.document(json);
        else if (status == kExitSuccess)
            call_.output.line("pass");
        return status;
    }

    // The unit's result is never lost with its record: what the database cannot take waits
    // in the spool. A unit that passed but whose record is not in the database says so.
    int recordInDatabase(const records::UnitRecordRow& row, int status) {
        records::RecordStore store(*options_.recordDb);
        records::RecordSpool spool(options_.recordSpool.empty()
                                       ? records::RecordSpool::defaultPath()
                                       : QString::fromStdString(options_.recordSpool));
        const records::RecordDelivery delivery = records::deliver(store, spool, row);
        if (delivery.stored) return status;
        const std::string url = store.url().display().toStdString();
        const std::string reason =
            "the record could not be written to " + url + " (" + delivery.error.toStdString() +
            ")" +
            (delivery.spooled
                 ? "; it waits in " + spool.path().toStdString() +
                       " and goes with the next record, or with qe7204ctl db flush " + url
                 : "; it could not be kept in the spool either");
        call_.fail(reason, kExitRecords);
        return status == kExitSuccess ? kExitRecords : status;
    }

    Invocation& call_;
    const ProgramOptions& options_;
    ConfigurationFileContent golden_;
    UnitRecord record_;
    Bench* bench_ = nullptr;
    Invocation* unit_ = nullptr;
};

}  // namespace

namespace {

// The program options as typed.
struct ProgramArguments {
    bool verifyPowerCycle = false;
    bool magnetCheck = false;
    bool force = false;
    std::optional<std::string> require;
    std::optional<std::vector<std::string>> log;
    std::optional<std::string> record;
    std::optional<std::string> recordDb;
    std::optional<std::string> station;
    std::optional<std::string> recordSpool;
    std::vector<std::string> files;
};

// The options that name a file, a URL or a station: "--record takes a file name" when given
// without one.
std::string readText(const std::optional<std::string>& given, std::string& target,
                     const std::string& refusal) {
    if (!given) return {};
    if (given->empty()) return refusal;
    target = *given;
    return {};
}

PreparedCommand prepareProgram(const ProgramArguments& given) {
    ProgramOptions options;
    options.verifyPowerCycle = given.verifyPowerCycle;
    options.magnetCheck = given.magnetCheck;
    options.force = given.force;
    if (given.require) {
        std::string refusal;
        options.require = requiredVerdict(given.require, refusal);
        if (!options.require) return PreparedCommand::usage(refusal);
    }
    if (given.log) {
        const std::vector<std::string>& log = *given.log;
        const long long number = log.empty() ? 0 : parseInteger(log[0]).value_or(0);
        if (number < 1 || number > kMaxLogCount)
            return PreparedCommand::usage("--log takes a count from 1 to " +
                                          std::to_string(kMaxLogCount) + " and a file name" +
                                          (log.empty() ? "" : ", not '" + log[0] + "'"));
        if (log.size() != 2 || log[1] == "-")
            return PreparedCommand::usage("--log takes a count and a file name");
        options.logCount = number;
        options.logFile = log[1];
    }
    std::string recordDb;
    for (const std::string& refusal :
         {readText(given.record, options.recordFile, "--record takes a file name"),
          readText(given.recordDb, recordDb, "--record-db takes a database URL"),
          readText(given.station, options.station, "--station takes a value"),
          readText(given.recordSpool, options.recordSpool, "--record-spool takes a value")})
        if (!refusal.empty()) return PreparedCommand::usage(refusal);
    if (options.recordFile == "-") return PreparedCommand::usage("--record takes a file name");
    if (given.recordDb) {
        QString why;
        options.recordDb = records::DatabaseUrl::parse(QString::fromStdString(recordDb), &why);
        if (!options.recordDb) return PreparedCommand::usage("--record-db: " + why.toStdString());
    }
    const std::vector<std::string>& files = given.files;
    if (files.size() != 1) return PreparedCommand::usage("program takes one golden .qcf file");
    if (options.require && !options.magnetCheck)
        return PreparedCommand::usage("--require goes with --magnet-check");
    if (!options.recordDb && (!options.station.empty() || !options.recordSpool.empty()))
        return PreparedCommand::usage("--station and --record-spool go with --record-db");
    options.golden = files[0];
    for (const std::string* file : {&options.logFile, &options.recordFile})
        if (!file->empty())
            if (std::string exists = refuseToReplace(*file, options.force); !exists.empty())
                return PreparedCommand::fileFault(exists);
    // A golden file that cannot be used fails the unit before the adapter is opened; the
    // record still tells why.
    ConfigurationFileContent golden = readConfigurationFile(options.golden);
    return {{}, Needs::Nothing, [options, golden](Invocation& call) {
                return UnitRun(call, options, golden).run();
            }};
}

}  // namespace

CommandPreparation declareProgram(CommandOptions& options) {
    auto given = std::make_shared<ProgramArguments>();
    options.flag("--verify-power-cycle", given->verifyPowerCycle,
                 "Switch the supply off and on and compare again.");
    options.flag("--magnet-check", given->magnetCheck, "Judge the magnet as magnet-check does.");
    options.value("--require", given->require, "good|marginal",
                  "With --magnet-check: the worst verdict that passes.");
    options.values("--log", given->log, 2, "N FILE.csv",
                   "Record N readouts into FILE.csv as watch --csv does.");
    options.value("--record", given->record, "FILE.json",
                  "Write the unit's record into FILE.json.");
    options.value("--record-db", given->recordDb, "URL",
                  "Store the record in the database at URL (sqlite:FILE or postgresql://...).");
    options.value("--station", given->station, "NAME",
                  "With --record-db: the station's name (default the host name).");
    options.value("--record-spool", given->recordSpool, "FILE",
                  "With --record-db: where a record waits that the database could not take.");
    options.flag("--force", given->force, "Replace the log and the record if they are there.");
    options.arguments(given->files, "GOLDEN.qcf");
    return [given] { return prepareProgram(*given); };
}

}  // namespace qe::cli
