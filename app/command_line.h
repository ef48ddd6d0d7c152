#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

#include "backend_options.h"

namespace qe::ui {

// What the program was asked to do.
struct ProgramOptions {
    BackendSettings backend;  // how the adapter is reached; the simulated bench
    bool trace = false;       // every frame on standard error, as qe7204ctl --trace writes it
};

// The program's arguments: --help, --version, --trace and the backend options.
class CommandLine {
public:
    CommandLine();

    // False with error() set when the arguments are not understood or out of range.
    bool parse(const QStringList& arguments);

    bool helpRequested() const {
        return parser_.isSet(help_) || parser_.isSet(QStringLiteral("help-all"));
    }
    bool versionRequested() const { return parser_.isSet(version_); }
    QString helpText() const { return parser_.helpText(); }
    const ProgramOptions& options() const { return options_; }
    const QString& error() const { return error_; }

private:
    bool readBackendOptions();

    QCommandLineParser parser_;
    QCommandLineOption help_;
    QCommandLineOption version_;
    QCommandLineOption trace_;
    // Each backend option the window offers, with the parser's option made from it.
    std::vector<std::pair<const BackendOption*, QCommandLineOption>> backendOptions_;
    ProgramOptions options_;
    QString error_;
};

}  // namespace qe::ui
