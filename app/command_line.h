#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include "adapter_commands.h"
#include "driver_choice.h"
#include "simulation.h"

namespace qe::ui {

// What the program was asked to do.
struct ProgramOptions {
    bool simulate = false;                     // the simulated adapter instead of a real one
    DriverChoice driver = DriverChoice::Auto;  // how a real adapter is reached
    sim::SimulationOptions simulation;
};

// The program's arguments: --help, --version, --driver, --simulate and the simulation's
// settings.
class CommandLine {
public:
    // The command line starts with a few chips; the simulation window adds more, up to one
    // per bus address.
    static constexpr int kMaxChips = 4;
    static_assert(kMaxChips <= kBusAddressCount);

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
    bool readDriverChoice();
    bool readSimulationOptions();

    QCommandLineParser parser_;
    QCommandLineOption help_;
    QCommandLineOption version_;
    QCommandLineOption driver_;
    QCommandLineOption simulate_;
    QCommandLineOption chips_;
    QCommandLineOption magnetSpeed_;
    QCommandLineOption magnetOffCentre_;
    QCommandLineOption magnetTilt_;
    ProgramOptions options_;
    QString error_;
};

}  // namespace qe::ui
