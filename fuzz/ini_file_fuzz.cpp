// The ini reader: any bytes give entries without a crash; what the store writes reads back
// as written; the store on disk answers as the text says.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "fuzz_check.h"
#include "ini_store.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QSettings::SettingsMap entries = qe::parseIniText(text);

    // Writing may drop what a line cannot hold (a line break inside a value); once written,
    // a text reads back exactly as it was written.
    const QSettings::SettingsMap written = qe::parseIniText(qe::iniText(entries));
    FUZZ_CHECK(qe::parseIniText(qe::iniText(written)) == written);
    FUZZ_CHECK(written.size() == entries.size());

    // The store reading the same bytes from a file gives every entry's value.
    const qe::fuzz::MemoryFile file(data, size);
    if (!file.ok()) return 0;
    const qe::IniStore store(QString::fromStdString(file.path()));
    const QString missing = QStringLiteral("\x01missing");
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        // Keys travel escaped; the store takes names as written.
        QString key = it.key();
        qsizetype slash = -1;
        for (qsizetype i = 0; i < key.size(); ++i)
            if (key[i] == QLatin1Char('/')) {
                slash = i;
                break;
            }
        const auto unescape = [](QString name) {
            return name.replace(QLatin1String("%2F"), QLatin1String("/"))
                .replace(QLatin1String("%25"), QLatin1String("%"));
        };
        const QString section = slash < 0 ? QString() : unescape(key.left(slash));
        const QString name = unescape(slash < 0 ? key : key.mid(slash + 1));
        FUZZ_CHECK(store.readString(section, name, missing) == it.value().toString());
    }
    return 0;
}
