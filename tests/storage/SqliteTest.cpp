#include "storage/Sqlite.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace snipbrook;

TEST(Sqlite, NestedUsesOfOneStatementAndUncommittedTransactions)
{
    QTemporaryDir folder;
    SqliteDatabase db(folder.filePath(QStringLiteral("t.sqlite")), true);
    db.execute("CREATE TABLE t (v TEXT); INSERT INTO t VALUES ('a'), ('b');");

    // The same SQL while its cached statement is still stepping gets a statement of its own.
    {
        auto outer = db.query("SELECT v FROM t ORDER BY v");
        ASSERT_TRUE(outer->step());
        {
            auto inner = db.query("SELECT v FROM t ORDER BY v");
            ASSERT_TRUE(inner->step());
            EXPECT_EQ(inner->text(0), QStringLiteral("a"));
        }
        ASSERT_TRUE(outer->step());
        EXPECT_EQ(outer->text(0), QStringLiteral("b"));
    }

    {
        SqliteTransaction transaction(db);
        db.execute("DELETE FROM t");
    } // not committed: rolled back
    EXPECT_EQ(db.queryInteger("SELECT count(*) FROM t"), 2);

    try {
        db.execute("INSERT INTO missing VALUES (1)");
        FAIL() << "no error";
    } catch (const SqliteError &error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("no such table: missing")));
    }
}
