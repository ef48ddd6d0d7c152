#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace qe::records {

// Where unit records go, from the URL a user gives: a SQLite file (`sqlite:results.db`) or a
// PostgreSQL server, written as libpq writes URIs:
//   postgresql://[user[:password]@][host][:port][/dbname][?param=value&...]
// with `?host=/socket/folder` for a Unix socket. Other parameters (connect_timeout,
// sslmode, ...) go to libpq as they are.
struct DatabaseUrl {
    enum class Kind { Sqlite, Postgresql };

    Kind kind = Kind::Sqlite;
    QString path;  // SQLite: the file
    QString host;  // PostgreSQL: a name, an address or a socket folder; empty: libpq's default
    int port = -1;
    QString user;
    QString password;
    QString database;
    QMap<QString, QString> options;  // the remaining query parameters

    // Refuses what it cannot read, saying why in `error`.
    static std::optional<DatabaseUrl> parse(const QString& text, QString* error);

    // The URL again without its password, for messages and records.
    QString display() const;
    // The Qt SQL driver ("QSQLITE", "QPSQL").
    QString driverName() const;
    // libpq's connection options for the parameters Qt has no setter for ("a=1;b=2").
    QString connectOptions() const;
};

}  // namespace qe::records
