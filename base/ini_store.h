#pragma once

#include <QSettings>
#include <QString>

#include <optional>

#include "regular_file.h"

namespace qe {

// The tool's ini file, read and written through QSettings in a format that keeps section
// and key names literal: "[Port Options]" and "Last Opened=..." as a person would write
// them, not QSettings' percent-encoded "[Port%20Options]". Each call opens the file, does
// its work and closes it again, so the file on disk is always current.
//
// An empty section name is stored as the section "[]". Section and key names may hold any
// character but line breaks; "/" is allowed, although QSettings itself uses it as a separator.
//
// The file is parsed once and again only when it has changed on disk, so a store that lives
// as long as its user costs one look at the file's stamp per read. Only a regular file of
// at most kMaxFileBytes is used: anything else reads as empty (every default), is never
// written, and is told once on stderr.
class IniStore {
public:
    explicit IniStore(QString filePath);

    const QString& filePath() const { return filePath_; }

    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue = {}) const;
    // The default when the key is missing or does not hold a decimal integer.
    int readInt(const QString& section, const QString& key, int defaultValue) const;

    // False when the file could not be written.
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeInt(const QString& section, const QString& key, int value);

    // The QSettings format registered for these files.
    static QSettings::Format format();

    static constexpr std::uint64_t kMaxFileBytes = 1024 * 1024;

private:
    struct Snapshot {
        std::optional<FileStamp> stamp;  // nothing: there was no file
        QSettings::SettingsMap values;
        bool usable = true;  // a regular file within the size limit, or no file at all
    };
    // The file's values, parsed again only when its stamp has changed.
    const Snapshot& current() const;
    // Reads and parses the file, or says on stderr why it is not used.
    Snapshot load() const;

    QString filePath_;
    mutable std::optional<Snapshot> snapshot_;
};

// The entries of an ini text as the store reads them, under QSettings' keys ("section/key",
// or "key" in the empty section; a "/" or "%" inside a name escaped as "%2F" or "%25").
QSettings::SettingsMap parseIniText(const QByteArray& text);
// The text the store writes for those entries.
QByteArray iniText(const QSettings::SettingsMap& entries);

// The ini file beside the executable: its folder and file name with the extension replaced
// by ".ini". When that folder cannot be written, or the executable is an installed one (see
// isInstalledProgramFolder), the same file name in `fallbackFolder` instead.
QString iniFilePathFor(const QString& executablePath, const QString& fallbackFolder);

// iniFilePathFor the running program, falling back to the user's configuration folder.
QString defaultIniFilePath();

}  // namespace qe
