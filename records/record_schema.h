#pragma once

#include <QSqlDatabase>
#include <QString>

namespace qe::records {

// The tables that hold unit records, and how an older database is brought up to date. The
// version lives in the table qe7204_schema; each step up is one list of statements.
namespace schema {

inline constexpr int kCurrentVersion = 1;

// The version the database has: 0 when it holds no records table yet, -1 when it cannot be
// read (error says why).
int versionOf(QSqlDatabase& db, QString* error);

// Creates the tables in an empty database, or runs the steps from its version up. Refuses a
// database of a newer version than this program knows. Runs inside the caller's transaction.
bool bringUpToDate(QSqlDatabase& db, QString* error);

}  // namespace schema
}  // namespace qe::records
