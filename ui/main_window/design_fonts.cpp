#include "design_fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>

namespace qe::ui {

namespace {

const char* const kTahomaFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
};

bool tahomaLoaded = false;

bool familyInstalled(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

}  // namespace

void registerDesignFonts() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    for (const char* path : kTahomaFiles) {
        if (!QFile::exists(QString::fromLatin1(path))) continue;
        if (QFontDatabase::addApplicationFont(QString::fromLatin1(path)) >= 0) tahomaLoaded = true;
    }
    tahomaLoaded = tahomaLoaded || familyInstalled(QStringLiteral("Tahoma"));
}

QString designFamily(const QString& designName) {
    // Stand-ins with the closest widths among Debian's free fonts.
    static const QHash<QString, QString> standIns = {
        {QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow")},
        {QStringLiteral("MS Reference Sans Serif"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")},
    };
    registerDesignFonts();
    if (designName == QLatin1String("Tahoma") && tahomaLoaded) return designName;
    if (familyInstalled(designName)) return designName;
    return standIns.value(designName, designName);
}

QFont designFont(const QString& designName, int pixelSize, bool bold) {
    QFont font(designFamily(designName));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace qe::ui
