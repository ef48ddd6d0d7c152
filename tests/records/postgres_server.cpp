#include "postgres_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QVersionNumber>

#include <pwd.h>
#include <unistd.h>

namespace qe::records::test {

namespace {

// The newest installed server's programs (Debian keeps them out of PATH).
QString serverBinDir() {
    QString best;
    QVersionNumber newest;
    const QDir root("/usr/lib/postgresql");
    for (const QString& version : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString bin = root.filePath(version + "/bin");
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (QFile::exists(bin + "/initdb") && number > newest) {
            newest = number;
            best = bin;
        }
    }
    return best;
}

}  // namespace

PostgresServer::PostgresServer() {
    binDir_ = serverBinDir();
    if (binDir_.isEmpty()) {
        error_ = "no PostgreSQL server installed (Debian's postgresql package)";
        return;
    }
    if (!folder_.isValid()) {
        error_ = "no temporary folder";
        return;
    }
    data_ = folder_.path() + "/data";
    port_ = 20000 + static_cast<int>(getpid() % 20000);
    asPostgres_ = geteuid() == 0;
    QFile::setPermissions(folder_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadGroup | QFile::ExeGroup |
                                              QFile::ReadOther | QFile::ExeOther);
    if (asPostgres_) {
        const passwd* user = getpwnam("postgres");
        if (!user ||
            chown(folder_.path().toLocal8Bit().constData(), user->pw_uid, user->pw_gid) != 0) {
            error_ = "running as root, but there is no postgres user to run the server as";
            return;
        }
    }
    if (!run(binDir_ + "/initdb",
             {"-D", data_, "-U", "qe", "--auth=trust", "-E", "UTF8", "--no-sync"}))
        return;
    start();
}

PostgresServer::~PostgresServer() {
    if (error_.isEmpty()) stop();
}

bool PostgresServer::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    if (asPostgres_)
        process.start("runuser", QStringList{"-u", "postgres", "--", program} + arguments);
    else
        process.start(program, arguments);
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error_ = program + " failed: " + QString::fromLocal8Bit(process.readAllStandardError()) +
                 QString::fromLocal8Bit(process.readAllStandardOutput());
        return false;
    }
    return true;
}

bool PostgresServer::start() {
    const QString options =
        QString("-k %1 -p %2 -c listen_addresses='' -c fsync=off").arg(folder_.path()).arg(port_);
    if (!run(binDir_ + "/pg_ctl",
             {"-D", data_, "-o", options, "-l", folder_.path() + "/server.log", "-w", "start"}))
        return false;
    error_.clear();
    return true;
}

bool PostgresServer::stop() {
    return run(binDir_ + "/pg_ctl", {"-D", data_, "-m", "fast", "-w", "stop"});
}

QString PostgresServer::createDatabase(const QString& name) {
    if (!run(binDir_ + "/createdb",
             {"-h", folder_.path(), "-p", QString::number(port_), "-U", "qe", name}))
        return {};
    return QString("postgresql:///%1?host=%2&port=%3&user=qe").arg(name, folder_.path()).arg(port_);
}

}  // namespace qe::records::test
