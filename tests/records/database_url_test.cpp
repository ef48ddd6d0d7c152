#include <gtest/gtest.h>

#include "database_url.h"

namespace qe::records::test {
namespace {

struct UrlCase {
    const char* text;
    DatabaseUrl::Kind kind;
    const char* path;
    const char* host;
    int port;
    const char* user;
    const char* password;
    const char* database;
    const char* options;
};

TEST(DatabaseUrl, ReadsSqliteFilesAndLibpqUris) {
    using K = DatabaseUrl::Kind;
    const UrlCase cases[] = {
        {"sqlite:results.db", K::Sqlite, "results.db", "", -1, "", "", "", ""},
        {"sqlite:///var/lib/line/results.db", K::Sqlite, "/var/lib/line/results.db", "", -1, "", "",
         "", ""},
        {"postgresql://line@db.example:5433/units", K::Postgresql, "", "db.example", 5433, "line",
         "", "units", ""},
        {"postgresql:///units?host=/run/postgresql", K::Postgresql, "", "/run/postgresql", -1, "",
         "", "units", ""},
        {"postgres://st%40tion:p%3Ass@[::1]:5432/units?sslmode=disable&connect_timeout=3",
         K::Postgresql, "", "::1", 5432, "st@tion", "p:ss", "units",
         "connect_timeout=3;sslmode=disable"},
        {"postgresql://localhost/units?user=qe&port=6000", K::Postgresql, "", "localhost", 6000,
         "qe", "", "units", ""},
    };
    for (const UrlCase& c : cases) {
        SCOPED_TRACE(c.text);
        QString error;
        const auto url = DatabaseUrl::parse(c.text, &error);
        ASSERT_TRUE(url) << error.toStdString();
        EXPECT_EQ(url->kind, c.kind);
        EXPECT_EQ(url->path, c.path);
        EXPECT_EQ(url->host, c.host);
        EXPECT_EQ(url->port, c.port);
        EXPECT_EQ(url->user, c.user);
        EXPECT_EQ(url->password, c.password);
        EXPECT_EQ(url->database, c.database);
        EXPECT_EQ(url->connectOptions(), c.options);
        EXPECT_FALSE(url->display().contains("p:ss")) << "no password in messages";
    }
}

TEST(DatabaseUrl, RefusesWhatItCannotRead) {
    for (const char* text :
         {"results.db", "mysql://h/db", "sqlite:", "postgresql://h:99999/db",
          "postgresql://h:port/db", "postgresql://a,b/db", "postgresql://h/db?sslmode"}) {
        SCOPED_TRACE(text);
        QString error;
        EXPECT_FALSE(DatabaseUrl::parse(text, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

}  // namespace
}  // namespace qe::records::test
