#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>

#include "command.h"
#include "exit_status.h"

namespace qe::cli {

void reportError(Environment& environment, bool json, const std::string& reason, int status) {
    if (json)
        environment.err << QJsonDocument(versioned(QJsonObject{{"error", jsonText(reason)},
                                                               {"exit_status", status}}))
                               .toJson(QJsonDocument::Compact)
                               .toStdString()
                        << '\n';
    else
        environment.err << "qe7204ctl: " << reason << '\n';
}

int Invocation::fail(const std::string& reason, int status) const {
    progress.clear();
    reportError(environment, output.json(), reason, status);
    return status;
}

std::string refuseToReplace(const std::string& path, bool force) {
    std::error_code error;
    // Only a regular file is replaced; a FIFO or a device is written to as it is.
    if (force || !std::filesystem::is_regular_file(path, error)) return {};
    return path + ": the file exists; --force replaces it";
}

Words declareWords(CommandOptions& options, const std::string& synopsis) {
    auto words = std::make_shared<std::vector<std::string>>();
    options.arguments(*words, synopsis);
    return words;
}

const std::vector<Command>& commands() {
    static const std::vector<Command> table{
        {"list",
         "List the attached QE7204 adapters: serial number, open or free, backend, description.",
         "Lists every FTDI device whose description holds \"QE7204 interface\", one per line:\n"
         "serial number, \"free\" or \"open\" (taken by a program, this or another), the\n"
         "backend that found it (d2xx, tty, libftdi, sim) and the description. Exits with 4\n"
         "when there is none. Does not open an adapter.",
         declareList},
        {"scan", "Switch the chip supply on and list the chip addresses on the bus.",
         "Opens the adapter, switches the chip supply on as the tool does at start-up and\n"
         "scans the bus: one chip address per line. Several chips are listed, not refused.\n"
         "Exits with 1 when no chip answers.",
         declareScan},
        {"power", "Switch the chip supply on or off.",
         "\"power on\" switches the supply on, scans the bus and, when one chip answers, reads\n"
         "its registers, as the \"Power ON\" button does. \"power off\" switches it off. Every\n"
         "other command switches the supply on and leaves it on.",
         declarePower},
        {"show", "Show every field of the working registers beside its EEPROM copy.",
         "Reads all registers and lists each field of the working registers 48..51 by name,\n"
         "with its value as the settings panel shows it, beside the same field in the EEPROM\n"
         "words 0..3; then the raw working words 48..55 beside EEPROM words 0..7. Lines whose\n"
         "two sides differ start with '*'.",
         declareShow},
        {"get", "Print one field of the working registers.",
         "Prints the field as the settings panel shows it (\"1024\", \"Tacho\"), or with\n"
         "--value its number in the register. FIELD is a field name in any letter case.",
         declareGet},
        {"set", "Change fields of the working registers.",
         "Each change is written at once, in the order given, by read-modify-write; the EEPROM\n"
         "keeps its words until prog. VALUE is one of the panel's texts (Res=1024, Sth=16,\n"
         "Dact=Tacho, Dac=90) or the field's raw value (Pdtr=2, UVW=0x1). ADDR, Zin and Hyst\n"
         "take numbers, as the address, zero and hysteresis commands do. Every value is\n"
         "checked before the first one is written. Stops at the first change the chip refuses.",
         declareSet},
        {"address", "Give the chip a new bus address (0..127).",
         "Writes the address into the working register 48; the chip answers at it at once.\n"
         "Run prog to keep it over a power cycle.",
         declareAddress},
        {"zero", "Set the zero position (0..4095), or make the current position zero.",
         "\"zero N\" writes N as the zero position; \"zero --current\" takes the absolute\n"
         "position the chip reports now.",
         declareZero},
        {"hysteresis", "Set the digital hysteresis (0..127 counts of 4096).", "",
         declareHysteresis},
        {"prog", "Store the working settings in the EEPROM and verify them.",
         "Writes working words 48..51 into EEPROM words 0..3, reads all registers back and\n"
         "compares EEPROM words 0..7 with working words 48..55, as PROG does. Exits with 1\n"
         "when a write is refused or the comparison finds a difference.",
         declareProg},
        {"read-eeprom", "Bring the settings stored in the EEPROM back, as READ does.",
         "The chip is followed to the address stored in its EEPROM and all registers are read.",
         declareReadEeprom},
        {"save", "Save the chip's working words 48..55 into a configuration file.",
         "A file that is already there is refused before the adapter is opened, unless\n--force.",
         declareSave},
        {"load", "Write a configuration file into the chip's working registers.",
         "The file is read first and must hold the eight words whole (exactly 16 bytes); any\n"
         "other file leaves the chip untouched. It is only read, so it may be read-only. The\n"
         "EEPROM keeps its words until prog.",
         declareLoad},
        {"decode", "Show every field held in a configuration file.",
         "Needs no adapter. The file must be exactly 16 bytes.", declareDecode},
        {"diff", "Compare a configuration file with the chip, or two files.",
         "Prints the fields and words that differ. Exits with 0 when there is none and with 3\n"
         "when there are. With one file the chip's working registers are read. Each file must\n"
         "be exactly 16 bytes; any other is refused before the adapter is opened.",
         declareDiff},
        {"watch", "Log the live readout.",
         "Reads the output registers every 50 ms (--interval) and prints position, speed,\n"
         "magnet status and AGC level, one line per readout (one JSON object per line with\n"
         "--json), N readouts long (--count; default until Ctrl-C). --csv writes the readouts\n"
         "to FILE (- for standard output; a file already there only with --force) with a\n"
         "comment line naming the chip and the adapter,\n"
         "a header line and ISO-8601 time stamps. A read without a reply is a gap: a line\n"
         "\"...\" (no CSV row); 100 in a row end the watch with status 5. Ctrl-C stops it\n"
         "cleanly; everything read is written out, and the status is 130 when --count\n"
         "readouts were not reached.\n"
         "--rate max reads as fast as the link goes, --rate HZ that many times a second: the\n"
         "adapter's latency timer is set to 2 ms (--latency-ms 1 on request) while it runs and\n"
         "back to 16 ms afterwards, also after Ctrl-C or an error. --in-flight N (with --rate\n"
         "max) keeps N requests on the line when a short probe shows the adapter takes them,\n"
         "else one, which stderr tells. With --csv the summary adds the readouts a second.",
         declareWatch},
        {"magnet-check", "Judge how the magnet is mounted while the shaft turns.",
         "Reads the output registers every 50 ms, as watch does, while you turn the shaft\n"
         "through N whole turns (--turns, default 2): by hand for the field, with a motor at a\n"
         "steady speed for the accuracy too. Tells on stderr every quarter turn, then prints\n"
         "the report: AGC lowest, highest, mean and ripple once per turn, magnet status\n"
         "counts, speed and how steady it was, the position error once and twice per turn and\n"
         "at its peak, a verdict (good, marginal or bad) and advice; with --json one object.\n"
         "Fails with status 5 when the turns are not done within S seconds (--timeout,\n"
         "default 60) or cannot be judged (too fast for the readouts), and with status 7 when\n"
         "the verdict is worse than --require. --from FILE.csv judges a recording the tool\n"
         "wrote (watch --csv, the Plot window) instead, without an adapter. --fast reads as\n"
         "watch --rate max --in-flight 8 does, for a shaft turning at motor speed.",
         declareMagnetCheck},
        {"program",
         "Program one unit from a golden file and verify it, holding the adapter throughout.",
         "One run for one unit, on one open of the adapter: the golden file is read (exactly\n"
         "16 bytes, else nothing is touched), the adapter found (--serial), exactly one chip\n"
         "must answer, the file is loaded, prog stores it and every register is read back and\n"
         "compared with the file. --verify-power-cycle switches the supply off and on and\n"
         "compares again; --magnet-check judges the magnet as magnet-check does (--require:\n"
         "the worst verdict that passes); --log N FILE.csv records N readouts as watch --csv\n"
         "does (a log cut short fails the unit). Each step prints a line with its result and\n"
         "time, then \"pass\". --record FILE.json writes the unit's record, also when a step\n"
         "fails: tool version, adapter, chip address, the golden file and its SHA-256, the\n"
         "words written and read back, the steps, the magnet report, the log and the result\n"
         "(with --json the record is printed too). The exit status is that of the first\n"
         "failure; an adapter lost during prog names the EEPROM words already written. FILE\n"
         "and FILE.json already there are refused unless --force. --record-db URL\n"
         "(sqlite:FILE or postgresql://[user@][host][:port]/db[?host=/socket/folder]) stores\n"
         "the record in a database in one transaction, with the unit's identity and the\n"
         "station (--station, default the host name); a record the database cannot take waits\n"
         "in the spool (--record-spool FILE, default ~/.local/state/qe7204/record-spool.jsonl)\n"
         "and goes with the next one; a unit that passed then exits with 8.",
         declareProgram},
        {"db", "Make, update, ask or fill the unit records database.",
         "init makes the tables in an empty database or brings them up to date; migrate\n"
         "brings an existing records database up to date. report prints the units and pass\n"
         "rate, the failures by step and reason, the magnet figures (median, quartiles,\n"
         "range) and the units per station, adapter and golden file (--since DATE, --station\n"
         "NAME to narrow it; --json or --csv). flush sends the records kept in the spool\n"
         "(--record-spool FILE) to the database. Needs no adapter; exits with 8 when the\n"
         "database cannot be reached or used, or records are left in the spool.",
         declareDb},
    };
    return table;
}

const Command* findCommand(std::string_view name) {
    for (const Command& command : commands())
        if (name == command.name) return &command;
    return nullptr;
}

}  // namespace qe::cli
