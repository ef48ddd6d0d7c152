#pragma once

#include <QString>
#include <QTemporaryDir>

namespace qe::records::test {

// A throwaway PostgreSQL cluster in a temporary folder, reached on a Unix socket there, made
// with the installed server's initdb and pg_ctl. Run as root, the server runs as the
// postgres user (it refuses root).
class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer();

    // Empty when it runs; otherwise what went wrong.
    const QString& error() const { return error_; }
    bool start();
    bool stop();
    // A database of its own for one test: postgresql:///NAME?host=SOCKET&port=PORT&user=qe
    QString createDatabase(const QString& name);

private:
    bool run(const QString& program, const QStringList& arguments);

    QTemporaryDir folder_;
    QString binDir_;
    QString data_;
    int port_ = 0;
    bool asPostgres_ = false;
    QString error_;
};

}  // namespace qe::records::test
