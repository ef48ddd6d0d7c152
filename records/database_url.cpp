#include "database_url.h"

#include <QStringList>
#include <QUrl>

namespace qe::records {

namespace {

constexpr const char* kSqliteScheme = "sqlite:";

QString decoded(const QString& part) {
    return QUrl::fromPercentEncoding(part.toUtf8());
}

std::optional<DatabaseUrl> refuse(QString* error, const QString& why) {
    if (error) *error = why;
    return std::nullopt;
}

bool parsePort(const QString& text, DatabaseUrl& url, QString* error) {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 1 || number > 65535)
        return refuse(error, "the port \"" + text + "\" is not a number from 1 to 65535"), false;
    url.port = number;
    return true;
}

// The host[:port] part; an IPv6 address comes in brackets.
bool parseHostPort(const QString& text, DatabaseUrl& url, QString* error) {
    QString host = text;
    QString port;
    if (host.startsWith('[')) {
        const auto close = host.indexOf(']');
        if (close < 0) return refuse(error, "an IPv6 address without its closing ]"), false;
        port = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!port.isEmpty() && !port.startsWith(':'))
            return refuse(error, "text after the IPv6 address"), false;
        port = port.mid(1);
    } else if (const auto colon = host.lastIndexOf(':'); colon >= 0) {
        port = host.mid(colon + 1);
        host = host.left(colon);
    }
    url.host = decoded(host);
    return port.isEmpty() || parsePort(port, url, error);
}

std::optional<DatabaseUrl> parsePostgresql(const QString& rest, QString* error) {
    DatabaseUrl url;
    url.kind = DatabaseUrl::Kind::Postgresql;
    QString body = rest;
    QString query;
    if (const auto mark = body.indexOf('?'); mark >= 0) {
        query = body.mid(mark + 1);
        body = body.left(mark);
    }
    QString authority = body;
    if (const auto slash = body.indexOf('/'); slash >= 0) {
        authority = body.left(slash);
        url.database = decoded(body.mid(slash + 1));
    }
    if (const auto at = authority.lastIndexOf('@'); at >= 0) {
        const QString credentials = authority.left(at);
        authority = authority.mid(at + 1);
        const auto colon = credentials.indexOf(':');
        url.user = decoded(colon < 0 ? credentials : credentials.left(colon));
        if (colon >= 0) url.password = decoded(credentials.mid(colon + 1));
    }
    if (authority.contains(',')) return refuse(error, "several hosts in one URL are not supported");
    if (!authority.isEmpty() && !parseHostPort(authority, url, error)) return std::nullopt;

    for (const QString& pair : query.split('&', Qt::SkipEmptyParts)) {
        const auto equals = pair.indexOf('=');
        if (equals <= 0) return refuse(error, "the parameter \"" + pair + "\" has no value");
        const QString key = decoded(pair.left(equals));
        const QString value = decoded(pair.mid(equals + 1));
        if (key == "host") {
            url.host = value;
        } else if (key == "port") {
            if (!parsePort(value, url, error)) return std::nullopt;
        } else if (key == "user") {
            url.user = value;
        } else if (key == "password") {
            url.password = value;
        } else if (key == "dbname") {
            url.database = value;
        } else {
            if (value.contains(';')) return refuse(error, "a ; in the value of " + key);
            url.options.insert(key, value);
        }
    }
    return url;
}

}  // namespace

std::optional<DatabaseUrl> DatabaseUrl::parse(const QString& text, QString* error) {
    if (text.startsWith(kSqliteScheme)) {
        QString path = text.mid(static_cast<int>(qstrlen(kSqliteScheme)));
        if (path.startsWith("//")) path = path.mid(2);  // sqlite:///abs/path
        if (path.isEmpty()) return refuse(error, "sqlite: needs a file, e.g. sqlite:results.db");
        DatabaseUrl url;
        url.path = path;
        return url;
    }
    for (const char* scheme : {"postgresql://", "postgres://"})
        if (text.startsWith(scheme))
            return parsePostgresql(text.mid(static_cast<int>(qstrlen(scheme))), error);
    return refuse(
        error, "\"" + text + "\" is neither sqlite:FILE nor postgresql://[user@][host][:port]/db");
}

QString DatabaseUrl::display() const {
    if (kind == Kind::Sqlite) return kSqliteScheme + path;
    QString text = "postgresql://";
    if (!user.isEmpty()) text += user + "@";
    const bool socket = host.startsWith('/');
    if (!socket) text += host.contains(':') ? "[" + host + "]" : host;
    if (port > 0) text += ":" + QString::number(port);
    text += "/" + database;
    if (socket) text += "?host=" + host;
    return text;
}

QString DatabaseUrl::driverName() const {
    return kind == Kind::Sqlite ? "QSQLITE" : "QPSQL";
}

QString DatabaseUrl::connectOptions() const {
    QStringList parts;
    for (auto it = options.begin(); it != options.end(); ++it) parts << it.key() + "=" + it.value();
    return parts.join(';');
}

}  // namespace qe::records
