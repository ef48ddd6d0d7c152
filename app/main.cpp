#include <QApplication>
#include <QLoggingCategory>
#include <QShortcut>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "analogue_panel.h"
#include "chip.h"
#include "chosen_driver.h"
#include "command_line.h"
#include "design_fonts.h"
#include "device_access_advice.h"
#include "fast_capture.h"
#include "ini_store.h"
#include "link_health_dialog.h"
#include "log_categories.h"
#include "magnet_check_dialog.h"
#include "main_window.h"
#include "message_box_sink.h"
#include "plot_window.h"
#include "prog_comparison_window.h"
#include "register_map.h"
#include "screen_saver.h"
#include "simulation_window.h"
#include "tracing_driver.h"
#include "version.h"
#include "window_placement.h"

namespace {

// The application title; the main window carries it as its caption. It is not made the
// display name, since Qt would then append it to every other window's caption ("Error").
const QString kApplicationTitle = QStringLiteral("QE7204 interface");

// A window of ours beside the main one: what brings it to the front. Closing it does not end
// the program.
std::function<void()> presenterOf(QWidget& extra) {
    extra.setAttribute(Qt::WA_QuitOnClose, false);
    // Escape closes every window of ours, as it closes a dialog.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &extra);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, &extra, &QWidget::close);
    return [&extra] {
        extra.show();
        qe::ui::keepOnScreen(extra);
        extra.raise();
        extra.activateWindow();
    };
}

// The arguments as given, before any application exists.
QStringList givenArguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Qt's own options ("-platform", "-style") have one dash and a word; the window application
// takes them out of the arguments before they are read.
bool mayBeQtOption(const QString& argument) {
    return argument.size() > 2 && argument.startsWith(QLatin1Char('-')) &&
           !argument.startsWith(QStringLiteral("--"));
}

// Help, version and a mistake need no display: they are answered without a windowing
// application, which could not start without one.
std::unique_ptr<QCoreApplication> createApplication(int& argc, char* argv[],
                                                    const qe::ui::CommandLine& given) {
    if (given.helpRequested() || given.versionRequested())
        return std::make_unique<QCoreApplication>(argc, argv);
    // The readout repaints a few small labels 15 times a second. Flushed through X's shared
    // memory, each paint also waits on a round of events with the X server and wakes Qt's
    // X thread, which costs the watching window a third more CPU than sending those few
    // kilobytes over the socket. Whoever sets the variable decides.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    return std::make_unique<QApplication>(argc, argv);
}

// Decides the program's run from its arguments; a value to exit with when it is done.
std::optional<int> handleArguments(const qe::ui::CommandLine& commandLine, bool parsed) {
    if (!parsed) {
        QTextStream(stderr) << commandLine.error() << "\nTry '"
                            << QCoreApplication::applicationName() << " --help'.\n";
        return 2;
    }
    if (commandLine.helpRequested()) {
        QTextStream(stdout) << commandLine.helpText();
        return 0;
    }
    if (commandLine.versionRequested()) {
        QTextStream(stdout) << QCoreApplication::applicationName() << ' '
                            << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The name also names the folder of the ini file when the executable's folder is read-only.
    QCoreApplication::setApplicationName(QStringLiteral("qe7204-tool"));
    QCoreApplication::setApplicationVersion(QString::fromStdString(qe::FileVersionString()));

    // Read once before any application exists, so that a mistake is reported without a display;
    // an argument that may be one of Qt's own is left to the application to take out first.
    qe::ui::CommandLine given;
    const QStringList arguments = givenArguments(argc, argv);
    if (!given.parse(arguments) &&
        std::none_of(arguments.begin() + 1, arguments.end(), mayBeQtOption))
        return *handleArguments(given, false);

    const std::unique_ptr<QCoreApplication> app = createApplication(argc, argv, given);
    // Lets the desktop match the windows with the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.qe7204_tool"));

    qe::ui::CommandLine commandLine;
    const bool parsed = commandLine.parse(QCoreApplication::arguments());
    if (const std::optional<int> exitCode = handleArguments(commandLine, parsed)) return *exitCode;
    if (!qobject_cast<QApplication*>(app.get())) return 0;  // only an answer was asked for
    const qe::ui::ProgramOptions& options = commandLine.options();

    qe::ui::registerDesignFonts();

    qe::SystemClock clock;
    std::string driverError;
    const std::unique_ptr<qe::ChosenDriver> backend =
        qe::ChosenDriver::make(options.backend, clock, qe::makeRealDriver, driverError);
    if (!backend) {
        QTextStream(stderr) << QString::fromStdString(driverError) << '\n';
        return 1;
    }
    qe::sim::SimulatedDriver* const simulation = backend->simulation();
    // --trace is the frames' log category switched on; QT_LOGGING_RULES can do the same.
    if (options.trace) QLoggingCategory::setFilterRules(QStringLiteral("qe7204.frames.debug=true"));
    std::unique_ptr<qe::TracingDriver> tracer;
    if (qe::lcFrames().isDebugEnabled())
        tracer = std::make_unique<qe::TracingDriver>(
            backend->driver(), clock, [](const std::string& line) {
                qCDebug(qe::lcFrames).noquote() << QString::fromStdString(line);
            });
    qe::FtdiDriver& driver = tracer ? static_cast<qe::FtdiDriver&>(*tracer) : backend->driver();

    qe::ui::MessageBoxSink messages(kApplicationTitle);
    qe::chip::Chip chip(
        driver, clock, messages,
        qe::chip::AdapterPolicy::rememberedIn(qe::defaultIniFilePath().toStdString()));
    qe::DesktopScreenSaver screenSaver;

    qe::ui::MainWindow window(chip, screenSaver);
    messages.setOwner(&window);

    // The analogue panel comes right after the main window and starts hidden.
    qe::ui::AnaloguePanel panel(window, chip, messages);
    window.setAnaloguePanel(&panel);

    // Beyond the designed windows; none of them keeps the program running on its own.
    qe::ui::FastCapture fastCapture(
        chip,
        [&window](std::function<void()> interrupted) { window.pausePoll(std::move(interrupted)); },
        [&window] { window.resumePoll(); });
    qe::ui::PlotWindow plot(
        window.readoutStream(), clock,
        [&chip] {
            return qe::chip::RecordingSource{chip.chipAddress(), chip.adapterSerial()};
        },
        messages);
    window.addExtraButton(QStringLiteral("Plot"), QStringLiteral("BtnPlot"), presenterOf(plot),
                          QStringLiteral("Position, speed, AGC and magnet status over time; "
                                         "recording to CSV"));
    plot.offerFastCapture(fastCapture);
    plot.recorder().setStateListener(
        [&window](const QString& state) { window.showStripNote(state); });
    qe::ui::MagnetCheckDialog magnetCheck(window.readoutStream(), [&chip] {
        qe::chip::MagnetCheckSource source;
        source.adapterSerial = chip.adapterSerial();
        source.chipAddress = chip.chipAddress();
        return source;
    });
    window.addExtraButton(QStringLiteral("Magnet check"), QStringLiteral("BtnMagnetCheck"),
                          presenterOf(magnetCheck),
                          QStringLiteral("Judges how the magnet is mounted while the shaft turns"));
    qe::ui::LinkHealthDialog linkHealth(
        window.readoutStream(),
        [&] {
            return qe::ui::LinkHealthDialog::Facts{
                .connected = chip.adapterOpen(),
                .health = chip.health(),
                .nowNs = clock.nowNs(),
                .backend = backend->backendName(chip.adapterBackend()),
                .serial = chip.adapterOpen() ? chip.adapterSerial() : std::string()};
        },
        [&chip] { chip.resetHealth(); });
    const std::function<void()> showLinkHealth = presenterOf(linkHealth);
    window.addExtraButton(QStringLiteral("Link health"), QStringLiteral("BtnLinkHealth"),
                          showLinkHealth,
                          QStringLiteral("Replies, time-outs and readouts of the adapter link"));
    window.setStatusBarDoubleClick(showLinkHealth);
    qe::ui::ProgComparisonWindow progComparison(chip.image(),
                                                [&window] { return window.readStoredSettings(); });
    window.addExtraButton(QStringLiteral("PROG diff"), QStringLiteral("BtnProgComparison"),
                          presenterOf(progComparison),
                          QStringLiteral("The working settings against the chip's EEPROM"));

    window.startPolling();

    window.show();

    // The simulated adapter's window stands apart from the tool's windows, so that the tool's
    // message boxes leave it usable; closing the main window alone ends the program.
    std::unique_ptr<qe::ui::SimulationWindow> benchWindow;
    if (simulation) {
        benchWindow = std::make_unique<qe::ui::SimulationWindow>(simulation->adapter());
        benchWindow->placeBeside(window);
        // The way back to it once closed.
        window.addExtraButton(QStringLiteral("Sim"), QStringLiteral("BtnSimulation"),
                              presenterOf(*benchWindow),
                              QStringLiteral("Shows the \"Simulated adapter\" window again"));
        benchWindow->show();
    }

    // With no adapter the window is grey; the status bar's tooltip says what to do, the
    // designed texts stay as they are.
    QTimer adapterHint;
    QObject::connect(&adapterHint, &QTimer::timeout, &window, [&window, &chip] {
        auto* status = window.findChild<QWidget*>(QStringLiteral("StBar1"));
        if (!status) return;
        const QString hint = chip.adapterOpen()
                                 ? QString()
                                 : QStringLiteral(
                                       "No adapter: plug it in, check that the udev rule %1 is "
                                       "installed (see the README), or start with --simulate.")
                                       .arg(QString::fromLatin1(qe::kUdevRuleName));
        if (status->toolTip() != hint) status->setToolTip(hint);
    });
    adapterHint.start(1000);

    return QApplication::exec();
}
