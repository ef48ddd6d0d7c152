#include "command_line.h"

namespace qe::ui {

namespace {

QCommandLineOption parserOption(const BackendOption& option) {
    const QString name = QString::fromStdString(option.name);
    const QString help = QString::fromStdString(option.help);
    if (option.flag()) return QCommandLineOption(name, help);
    return QCommandLineOption(name, help, QString::fromStdString(option.valueName));
}

}  // namespace

CommandLine::CommandLine()
    : help_(parser_.addHelpOption()),
      version_(parser_.addVersionOption()),
      trace_(QStringLiteral("trace"),
             QStringLiteral("Every frame sent and received, decoded, on standard error (the log "
                            "category qe7204.frames).")) {
    parser_.setApplicationDescription(QStringLiteral(
        "Configures and watches the QE7204 magnetic rotary encoder through its USB adapter."));
    parser_.addOption(trace_);
    for (const BackendOption& option : backendOptions()) {
        if (!option.offeredBy(Program::Window)) continue;
        backendOptions_.emplace_back(&option, parserOption(option));
        parser_.addOption(backendOptions_.back().second);
    }
}

bool CommandLine::parse(const QStringList& arguments) {
    options_ = {};
    error_.clear();
    if (!parser_.parse(arguments)) {
        error_ = parser_.errorText();
        return false;
    }
    if (!parser_.positionalArguments().isEmpty()) {
        error_ =
            QStringLiteral("Unexpected argument '%1'.").arg(parser_.positionalArguments().first());
        return false;
    }
    options_.trace = parser_.isSet(trace_);
    return readBackendOptions();
}

bool CommandLine::readBackendOptions() {
    BackendOptionReader reader(Program::Window);
    for (const auto& [option, parserOption] : backendOptions_) {
        if (!parser_.isSet(parserOption)) continue;
        const std::string value =
            option->flag() ? std::string() : parser_.value(parserOption).toStdString();
        if (!reader.take(*option, value)) break;
    }
    if (reader.error().empty()) reader.finish();
    if (!reader.error().empty()) {
        error_ = QString::fromStdString(reader.error()) + QLatin1Char('.');
        return false;
    }
    options_.backend = reader.settings();
    return true;
}

}  // namespace qe::ui
