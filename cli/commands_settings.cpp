// show, get, set, address, zero, hysteresis: the working registers.

#include "command.h"
#include "configuration_view.h"
#include "exit_status.h"
#include "field_choice.h"

namespace qe::cli {

namespace {

struct Change {
    const chip::WorkingField* field;
    FieldChoice choice;
};

// Writes one change through the chip core, as the panel's control for the field does.
chip::Result apply(chip::Chip& session, const Change& change) {
    switch (change.field->kind) {
        case chip::FieldKind::Setting:
            return session.changeSetting(*change.field, change.choice.item);
        case chip::FieldKind::Address: {
            const auto checked = session.checkAddress(std::to_string(change.choice.value));
            if (!checked.ok()) return checked.result;
            return session.setAddress(checked.value);
        }
        case chip::FieldKind::ZeroPosition:
            return session.presetZero(std::to_string(change.choice.value));
        case chip::FieldKind::Hysteresis:
            return session.setHysteresis(change.choice.item);
        case chip::FieldKind::ReadOnly:
            break;
    }
    return chip::Result::failed(chip::Outcome::InputRefused,
                                std::string(change.field->key) + " is never changed");
}

// Prints the fields changed as the chip now holds them.
int applyAll(Invocation& call, const std::vector<Change>& changes) {
    chip::Chip& session = call.bench->chip();
    QJsonObject changed;
    for (const Change& change : changes) {
        const chip::Result result = apply(session, change);
        if (!result.ok())
            return call.fail(result, std::string(change.field->key) + " could not be changed");
        const chip::FieldValue now =
            chip::decodeField(*change.field, session.image()[change.field->field.word]);
        if (call.output.json())
            changed.insert(change.field->key,
                           QJsonObject{{"value", now.value}, {"text", jsonText(now.text)}});
        else
            call.output.line(std::string(change.field->key) + "=" + now.text);
    }
    if (call.output.json()) call.output.document({{"changed", changed}});
    return kExitSuccess;
}

// "NAME=VALUE", or NAME and VALUE apart; the reason when it is not a change.
Change parseChange(const std::string& name, const std::string& value, std::string& error) {
    const chip::WorkingField* field = chip::findWorkingField(name);
    if (!field) {
        error = "unknown field '" + name + "'; fields: " + chip::fieldNameList();
        return {};
    }
    Change change{field, parseFieldValue(*field, value)};
    if (!change.choice.ok()) error = change.choice.error;
    return change;
}

PreparedCommand prepareChanges(std::vector<Change> changes) {
    return {{}, Needs::Chip, [changes](Invocation& call) { return applyAll(call, changes); }};
}

// A command that sets one field from one argument.
PreparedCommand prepareOne(const char* fieldName, const char* command,
                           const std::vector<std::string>& args) {
    if (args.size() != 1) return PreparedCommand::usage(std::string(command) + " takes one number");
    std::string error;
    Change change = parseChange(fieldName, args[0], error);
    if (!error.empty()) return PreparedCommand::usage(error);
    return prepareChanges({change});
}

int runShow(Invocation& call) {
    const RegisterImage& image = call.bench->chip().image();
    const auto rows = configurationRows(chip::workingWords(image), chip::eepromWords(image));
    if (call.output.json()) {
        QJsonObject document = configurationJson(rows, "working", "eeprom");
        document.insert("chip", call.bench->chip().chipAddress());
        call.output.document(document);
    } else {
        printConfiguration(call.output, rows, {"FIELD", "WORKING", "EEPROM"}, false);
    }
    return kExitSuccess;
}

int runZeroAtCurrentPosition(Invocation& call) {
    const auto zero = call.bench->chip().zeroAtCurrentPosition();
    if (!zero.ok()) return call.fail(zero.result, "the position could not be read");
    if (call.output.json())
        call.output.document(
            {{"changed",
              QJsonObject{{"Zin", QJsonObject{{"value", zero.value},
                                              {"text", jsonText(std::to_string(zero.value))}}}}}});
    else
        call.output.line("Zin=" + std::to_string(zero.value));
    return kExitSuccess;
}

PreparedCommand prepareGet(const std::vector<std::string>& args, bool raw) {
    if (args.size() != 1) return PreparedCommand::usage("get takes one field name");
    const chip::WorkingField* field = chip::findWorkingField(args.back());
    if (!field)
        return PreparedCommand::usage("unknown field '" + args.back() +
                                      "'; fields: " + chip::fieldNameList());
    return {{}, Needs::Chip, [field, raw](Invocation& call) {
                const chip::FieldValue value =
                    chip::decodeField(*field, call.bench->chip().image()[field->field.word]);
                if (call.output.json())
                    call.output.document({{"field", field->key},
                                          {"value", value.value},
                                          {"text", jsonText(value.text)}});
                else
                    call.output.line(raw ? std::to_string(value.value) : value.text);
                return int{kExitSuccess};
            }};
}

PreparedCommand prepareSet(const std::vector<std::string>& args) {
    if (args.empty()) return PreparedCommand::usage("set takes FIELD=VALUE");
    std::vector<Change> changes;
    for (const std::string& arg : args) {
        const auto equals = arg.find('=');
        if (equals == std::string::npos)
            return PreparedCommand::usage("set takes FIELD=VALUE, not '" + arg + "'");
        std::string error;
        Change change = parseChange(arg.substr(0, equals), arg.substr(equals + 1), error);
        if (!error.empty()) return PreparedCommand::usage(error);
        changes.push_back(change);
    }
    return prepareChanges(changes);
}

}  // namespace

CommandPreparation declareShow(CommandOptions&) {
    return [] { return PreparedCommand{{}, Needs::Chip, runShow}; };
}

CommandPreparation declareGet(CommandOptions& options) {
    auto raw = std::make_shared<bool>(false);
    options.flag("--value", *raw, "The field's number in the register instead of its text.");
    return [raw, words = declareWords(options, "FIELD")] { return prepareGet(*words, *raw); };
}

CommandPreparation declareSet(CommandOptions& options) {
    return [words = declareWords(options, "FIELD=VALUE...")] { return prepareSet(*words); };
}

CommandPreparation declareAddress(CommandOptions& options) {
    return [words = declareWords(options, "N")] { return prepareOne("ADDR", "address", *words); };
}

CommandPreparation declareZero(CommandOptions& options) {
    auto current = std::make_shared<bool>(false);
    options.flag("--current", *current, "Make the position the chip reports now the zero.");
    return [current, words = declareWords(options, "N")] {
        if (!*current) return prepareOne("Zin", "zero", *words);
        if (!words->empty()) return PreparedCommand::usage("zero takes N or --current, not both");
        return PreparedCommand{{}, Needs::Chip, runZeroAtCurrentPosition};
    };
}

CommandPreparation declareHysteresis(CommandOptions& options) {
    return
        [words = declareWords(options, "N")] { return prepareOne("Hyst", "hysteresis", *words); };
}

}  // namespace qe::cli
