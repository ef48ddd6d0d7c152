#pragma once

#include <QSettings>
#include <QString>

namespace qe {

// The tool's ini file, read and written through QSettings in a format that keeps section
// and key names literal: "[Port Options]" and "Last Opened=..." as a person would write
// them, not QSettings' percent-encoded "[Port%20Options]". Each call opens the file, does
// its work and closes it again, so the file on disk is always current.
//
// An empty section name is stored as the section "[]". Section and key names may hold any
// character but line breaks; "/" is allowed, although QSettings itself uses it as a separator.
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

private:
    QString filePath_;
};

// The ini file beside the executable: its folder and file name with the extension replaced
// by ".ini". When that folder cannot be written, or the executable is an installed one (see
// isInstalledProgramFolder), the same file name in `fallbackFolder` instead.
QString iniFilePathFor(const QString& executablePath, const QString& fallbackFolder);

// iniFilePathFor the running program, falling back to the user's configuration folder.
QString defaultIniFilePath();

}  // namespace qe
