#include "window_layout.h"

#include <QRadioButton>
#include <QWidget>

#include "ini_store.h"
#include "message_sink.h"
#include "outer_geometry.h"
#include "window_placement.h"

namespace qe::ui {

namespace {

enum class Window { Settings, Display };
enum class Edge { Top, Left, Height, Width };

struct LayoutKey {
    const char* name;
    Window window;
    Edge edge;
};

// In the order both operations handle them.
constexpr LayoutKey kLayoutKeys[] = {
    {"SettingsTop", Window::Settings, Edge::Top},
    {"SettingsLeft", Window::Settings, Edge::Left},
    {"DisplayTop", Window::Display, Edge::Top},
    {"DisplayLeft", Window::Display, Edge::Left},
    {"SettingsHeight", Window::Settings, Edge::Height},
    {"SettingsWidth", Window::Settings, Edge::Width},
    {"DisplayHeight", Window::Display, Edge::Height},
    {"DisplayWidth", Window::Display, Edge::Width},
};

const QString kScaleKey = QStringLiteral("Display");
const QString kPositionScale = QStringLiteral("position");
const QString kTachoScale = QStringLiteral("tacho");

QWidget& windowOf(const LayoutWindows& windows, Window window) {
    return window == Window::Settings ? windows.settings : windows.display;
}

// Edges and sizes of the window with its frame, as the user sees it on the screen; a value
// still waiting for the frame counts as the window's.
int outerValue(const QWidget& window, Edge edge) {
    const OuterGeometry* waiting = OuterGeometry::find(window);
    const QPoint position = waiting ? waiting->position() : window.frameGeometry().topLeft();
    const QSize size = waiting ? waiting->size() : window.frameGeometry().size();
    switch (edge) {
        case Edge::Top:
            return position.y();
        case Edge::Left:
            return position.x();
        case Edge::Height:
            return size.height();
        case Edge::Width:
            return size.width();
    }
    return 0;
}

void applyOuterValue(QWidget& window, Edge edge, int value) {
    OuterGeometry& outer = OuterGeometry::of(window);
    switch (edge) {
        case Edge::Top:
            outer.setTop(value);
            break;
        case Edge::Left:
            outer.setLeft(value);
            break;
        case Edge::Height:
            outer.setHeight(value);
            break;
        case Edge::Width:
            outer.setWidth(value);
            break;
    }
}

}  // namespace

void saveWindowLayout(const LayoutStore& store, const LayoutWindows& windows,
                      MessageSink& messages) {
    IniStore ini(store.iniFilePath);
    const auto unableToWrite = [&] {
        messages.show(MessageKind::Exception,
                      QStringLiteral("Unable to write to %1").arg(store.iniFilePath).toStdString());
    };
    for (const LayoutKey& key : kLayoutKeys) {
        const int value = outerValue(windowOf(windows, key.window), key.edge);
        if (!ini.writeInt(store.section, QString::fromLatin1(key.name), value))
            return unableToWrite();
    }
    const QString scale = windows.position.isChecked() ? kPositionScale : kTachoScale;
    if (!ini.writeString(store.section, kScaleKey, scale)) unableToWrite();
}

void loadWindowLayout(const LayoutStore& store, const LayoutWindows& windows) {
    const IniStore ini(store.iniFilePath);
    for (const LayoutKey& key : kLayoutKeys) {
        QWidget& window = windowOf(windows, key.window);
        const int current = outerValue(window, key.edge);
        const int stored = ini.readInt(store.section, QString::fromLatin1(key.name), current);
        if (stored != current) applyOuterValue(window, key.edge, stored);
    }
    // A layout stored on a larger screen, or on one no longer attached, comes back on this one.
    keepOnScreen(windows.settings);
    keepOnScreen(windows.display);
    if (ini.readString(store.section, kScaleKey, kPositionScale) == kPositionScale)
        windows.position.setChecked(true);
    else
        windows.tacho.setChecked(true);
}

}  // namespace qe::ui
