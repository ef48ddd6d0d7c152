#include "ini_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>
#include <vector>

#include "install_layout.h"
#include "local_path.h"
#include "log_categories.h"

namespace qe {

namespace {

// QSettings splits its keys at "/", so a "/" inside a section or key name travels through
// its map escaped; the file itself always holds the names as they are.
QString escapeName(QString name) {
    return name.replace(QLatin1Char('%'), QLatin1String("%25"))
        .replace(QLatin1Char('/'), QLatin1String("%2F"));
}

QString unescapeName(QString name) {
    return name.replace(QLatin1String("%2F"), QLatin1String("/"))
        .replace(QLatin1String("%25"), QLatin1String("%"));
}

// A line break inside a name or value would start a new line of the file.
QString singleLine(QString text) {
    return text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
}

// The key as QSettings keeps it: "section/key", or just "key" for the empty section.
QString settingsKey(const QString& section, const QString& key) {
    const QString escapedKey = escapeName(singleLine(key));
    return section.isEmpty() ? escapedKey
                             : escapeName(singleLine(section)) + QLatin1Char('/') + escapedKey;
}

bool readLiteralIni(QIODevice& device, QSettings::SettingsMap& map) {
    map = parseIniText(device.readAll());
    return true;
}

bool writeLiteralIni(QIODevice& device, const QSettings::SettingsMap& map) {
    const QByteArray out = iniText(map);
    return device.write(out) == out.size();
}

}  // namespace

QSettings::SettingsMap parseIniText(const QByteArray& bytes) {
    QSettings::SettingsMap map;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);

    bool inSection = false;  // lines before the first section header belong to none
    QString section;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.lastIndexOf(QLatin1Char(']'));
            if (close < 0) continue;
            section = line.mid(1, close - 1).trimmed();
            inSection = true;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inSection || equals <= 0) continue;
        const QString key = line.left(equals).trimmed();
        if (key.isEmpty()) continue;
        map.insert(settingsKey(section, key), line.mid(equals + 1).trimmed());
    }
    return map;
}

QByteArray iniText(const QSettings::SettingsMap& map) {
    // Sections in name order, keys in name order within each.
    std::map<QString, std::vector<std::pair<QString, QString>>> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QString& fullKey = it.key();
        const qsizetype slash = fullKey.indexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? QString() : fullKey.left(slash);
        const QString key = slash < 0 ? fullKey : fullKey.mid(slash + 1);
        sections[unescapeName(section)].emplace_back(unescapeName(key), it.value().toString());
    }

    QByteArray out;
    for (const auto& [section, entries] : sections) {
        if (!out.isEmpty()) out += '\n';
        out += '[' + section.toUtf8() + "]\n";
        for (const auto& [key, value] : entries)
            out += key.toUtf8() + '=' + singleLine(value).toUtf8() + '\n';
    }
    return out;
}

QSettings::Format IniStore::format() {
    static const QSettings::Format registered =
        QSettings::registerFormat(QStringLiteral("ini"), readLiteralIni, writeLiteralIni);
    return registered;
}

IniStore::IniStore(QString filePath) : filePath_(std::move(filePath)) {}

IniStore::Snapshot IniStore::load() const {
    const std::filesystem::path path = localPath(filePath_);
    RegularFile file(path, RegularFile::Access::Read);
    if (file.error() == ENOENT) return {};  // no file yet: every default, silently
    Snapshot loaded{file.error() == 0 ? std::optional(file.stamp()) : fileStampOf(path), {}, false};

    const char* why = nullptr;
    std::vector<std::uint8_t> bytes;
    if (file.notRegular())
        why = "not a regular file";
    else if (file.error() != 0)
        why = std::strerror(file.error());
    else if (file.stamp().size > kMaxFileBytes)
        why = "larger than 1 MiB";
    else if (bytes = file.read(kMaxFileBytes + 1); file.error() != 0)
        why = std::strerror(file.error());
    else if (bytes.size() > kMaxFileBytes)  // it grew while being read
        why = "larger than 1 MiB";
    if (why) {
        qCWarning(lcSettings).noquote()
            << QStringLiteral("%1: %2; the default settings are used").arg(filePath_, why);
        return loaded;
    }
    loaded.usable = true;
    loaded.values = parseIniText(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size())));
    return loaded;
}

const IniStore::Snapshot& IniStore::current() const {
    if (!snapshot_ || snapshot_->stamp != fileStampOf(localPath(filePath_))) snapshot_ = load();
    return *snapshot_;
}

QString IniStore::readString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
    return current().values.value(settingsKey(section, key), defaultValue).toString();
}

int IniStore::readInt(const QString& section, const QString& key, int defaultValue) const {
    bool ok = false;
    const int value = readString(section, key).toInt(&ok, 10);
    return ok ? value : defaultValue;
}

bool IniStore::writeString(const QString& section, const QString& key, const QString& value) {
    // A file that is not used for reading is not replaced either.
    if (!current().usable) return false;
    // QSettings writes through a temporary file beside the target; the folder must exist.
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    QSettings settings(filePath_, format());
    settings.setValue(settingsKey(section, key), singleLine(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool IniStore::writeInt(const QString& section, const QString& key, int value) {
    return writeString(section, key, QString::number(value));
}

QString iniFilePathFor(const QString& executablePath, const QString& fallbackFolder) {
    const QFileInfo executable(executablePath);
    const QString suffix = executable.suffix();
    QString fileName = executable.fileName();
    if (!suffix.isEmpty()) fileName.chop(suffix.size() + 1);
    if (fileName.isEmpty()) fileName = QStringLiteral("qe7204-tool");
    fileName += QLatin1String(".ini");

    // An installed program never writes into its own folder, not even when it could (run as
    // root from /usr/bin): its settings belong to the user.
    const QFileInfo folder(executable.absolutePath());
    if (!executablePath.isEmpty() && folder.isDir() && folder.isWritable() &&
        !isInstalledProgramFolder(folder.absoluteFilePath()))
        return QDir(folder.absoluteFilePath()).filePath(fileName);
    return QDir(fallbackFolder).filePath(fileName);
}

namespace {

QString runningExecutablePath() {
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
#ifdef Q_OS_LINUX
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
#else
    return {};
#endif
}

QString userConfigFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return folder;
}

}  // namespace

QString defaultIniFilePath() {
    return iniFilePathFor(runningExecutablePath(), userConfigFolder());
}

}  // namespace qe
