// save, load, decode, diff, prog, read-eeprom: configuration files and the EEPROM.

#include "command.h"
#include "configuration_reader.h"
#include "configuration_view.h"
#include "exit_status.h"

namespace qe::cli {

namespace {

std::string orDefault(const std::string& reason, const std::string& fallback) {
    return reason.empty() ? fallback : reason;
}

int reportDone(Invocation& call, const std::string& text, QJsonObject json) {
    if (call.output.json())
        call.output.document(json);
    else
        call.output.line(text);
    return kExitSuccess;
}

int printDifferences(Invocation& call, const ConfigurationWords& left, const std::string& leftName,
                     const ConfigurationWords& right, const std::string& rightName) {
    const auto rows = configurationRows(left, right);
    const bool identical =
        std::none_of(rows.begin(), rows.end(), [](const auto& row) { return row.differs; });
    if (call.output.json()) {
        QJsonObject document = configurationJson(rows, "left", "right");
        document.insert("left", jsonText(leftName));
        document.insert("right", jsonText(rightName));
        document.insert("identical", identical);
        call.output.document(document);
    } else if (!identical) {
        printConfiguration(call.output, rows, {"FIELD", leftName, rightName}, true);
    }
    return identical ? kExitSuccess : kExitDifferences;
}

PreparedCommand prepareWithFile(const std::vector<std::string>& args, const char* command,
                                Needs needs,
                                std::function<int(Invocation&, const std::string&)> run) {
    if (args.size() != 1)
        return PreparedCommand::usage(std::string(command) + " takes one file name");
    const std::string path = args[0];
    return {{}, needs, [path, run](Invocation& call) { return run(call, path); }};
}

PreparedCommand prepareSave(const std::vector<std::string>& files, bool force) {
    if (files.size() == 1)
        if (std::string exists = refuseToReplace(files[0], force); !exists.empty())
            return PreparedCommand::fileFault(exists);
    return prepareWithFile(
        files, "save", Needs::Chip, [](Invocation& call, const std::string& path) {
            const chip::Result saved = call.bench->chip().saveFile(path);
            if (!saved.ok())
                return call.fail(FailureKind::FileRefused,
                                 path + ": " + orDefault(saved.reason, "not saved"));
            return reportDone(call, "saved " + path, {{"saved", jsonText(path)}});
        });
}

PreparedCommand prepareLoad(const std::vector<std::string>& args) {
    if (args.size() != 1) return PreparedCommand::usage("load takes one file name");
    const std::string path = args[0];
    if (const ConfigurationFileContent file = readConfigurationFile(path); !file.ok())
        return PreparedCommand::fileFault(file.error);
    return {{}, Needs::Chip, [path](Invocation& call) {
                chip::Chip& session = call.bench->chip();
                // Only read: golden files are often kept read-only.
                if (chip::Result read = session.loadFile(path, chip::LoadAccess::ReadOnly);
                    !read.ok())
                    return call.fail(FailureKind::FileRefused,
                                     path + ": " + orDefault(read.reason, "not read"));
                if (chip::Result written = session.writeLoadedWords(); !written.ok())
                    return call.fail(written, "the chip did not take every word of " + path);
                return reportDone(call,
                                  "loaded " + path + " into the chip at address " +
                                      std::to_string(session.chipAddress()),
                                  {{"loaded", jsonText(path)}, {"chip", session.chipAddress()}});
            }};
}

PreparedCommand prepareDecode(const std::vector<std::string>& args) {
    if (args.size() != 1) return PreparedCommand::usage("decode takes one file name");
    const ConfigurationFileContent file = readConfigurationFile(args[0]);
    if (!file.ok()) return PreparedCommand::fileFault(file.error);
    return {{}, Needs::Nothing, [words = file.words](Invocation& call) {
                const auto rows = configurationRows(words);
                if (call.output.json())
                    call.output.document(configurationJson(rows, "file"));
                else
                    printConfiguration(call.output, rows, {"FIELD", "VALUE"}, false);
                return int{kExitSuccess};
            }};
}

PreparedCommand prepareDiff(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2)
        return PreparedCommand::usage("diff takes one or two file names");
    std::vector<ConfigurationWords> files;
    for (const std::string& path : args) {
        const ConfigurationFileContent file = readConfigurationFile(path);
        if (!file.ok()) return PreparedCommand::fileFault(file.error);
        files.push_back(file.words);
    }
    const std::vector<std::string> paths = args;
    if (files.size() == 2)
        return {{}, Needs::Nothing, [paths, files](Invocation& call) {
                    return printDifferences(call, files[0], paths[0], files[1], paths[1]);
                }};
    return {{}, Needs::Chip, [paths, files](Invocation& call) {
                const ConfigurationWords chip = chip::workingWords(call.bench->chip().image());
                return printDifferences(call, files[0], paths[0], chip, "chip");
            }};
}

PreparedCommand prepareProg() {
    return {{}, Needs::Chip, [](Invocation& call) {
                const chip::Result programmed = call.bench->chip().programEeprom();
                if (!programmed.ok()) return call.fail(programmed, "the EEPROM was not programmed");
                return reportDone(call, "EEPROM programmed and verified",
                                  {{"programmed", true}, {"verified", true}});
            }};
}

PreparedCommand prepareReadEeprom() {
    return {{}, Needs::Chip, [](Invocation& call) {
                chip::Chip& session = call.bench->chip();
                const chip::Result read = session.readEeprom();
                if (!read.ok()) return call.fail(read, "the EEPROM was not read");
                return reportDone(call,
                                  "settings read from the EEPROM; chip at address " +
                                      std::to_string(session.chipAddress()),
                                  {{"chip", session.chipAddress()}});
            }};
}

}  // namespace

CommandPreparation declareSave(CommandOptions& options) {
    auto force = std::make_shared<bool>(false);
    options.flag("--force", *force, "Replace a file that is already there.");
    return
        [force, words = declareWords(options, "FILE.qcf")] { return prepareSave(*words, *force); };
}

CommandPreparation declareLoad(CommandOptions& options) {
    return [words = declareWords(options, "FILE.qcf")] { return prepareLoad(*words); };
}

CommandPreparation declareDecode(CommandOptions& options) {
    return [words = declareWords(options, "FILE.qcf")] { return prepareDecode(*words); };
}

CommandPreparation declareDiff(CommandOptions& options) {
    return [words = declareWords(options, "FILE.qcf [FILE2.qcf]")] { return prepareDiff(*words); };
}

CommandPreparation declareProg(CommandOptions&) {
    return prepareProg;
}

CommandPreparation declareReadEeprom(CommandOptions&) {
    return prepareReadEeprom;
}

}  // namespace qe::cli
