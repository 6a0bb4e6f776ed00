#include "Business/Data/SqliteQuery.h"
#include "DataTestSupport.h"
#include "Support/ExpectMessage.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

TEST(TransactionTest, NestedTransactionsAreSavepoints)
{
    TScratchFolder data;
    TSQLiteDatabase db(data.Path() / "t.db");
    db.ExecSQL("create table t (v)");
    {
        TTransaction outer(db);
        db.ExecSQL("insert into t values (1)");
        EXPECT_THROW(TTransaction::Run(db,
                                       [&] {
                                           db.ExecSQL("insert into t values (2)");
                                           throw Exception("inner failed");
                                       }),
                     Exception);
        TTransaction::Run(db, [&] { db.ExecSQL("insert into t values (3)"); });
        EXPECT_TRUE(db.InTransaction());
        outer.Commit();
    }
    EXPECT_FALSE(db.InTransaction());
    TSQLiteUniTable all(db, "select group_concat(v) from t");
    EXPECT_EQ(all.FieldAsString(0), "1,3");
    {
        TTransaction dropped(db);
        db.ExecSQL("insert into t values (4)");
    }
    EXPECT_EQ(db.GetTableValue("select count(*) from t"), 2);
}

// The GUI thread and the scheduler share one account connection: each
// writes in its own transactions, some of which roll back. Nothing one
// commits may be lost or rolled back by the other.
TEST(TransactionTest, TwoThreadsOnOneConnection)
{
    TScratchFolder data;
    TSQLiteDatabase db(data.Path() / "shared.db");
    db.ExecSQL("create table t (who text, n integer)");
    constexpr int kRounds = 300;
    auto work = [&](const char* aWho) {
        for (int n = 0; n < kRounds; ++n) {
            try {
                TTransaction::Run(db, [&] {
                    db.ExecSQL("insert into t values (?, ?)", [&](TSQLiteQueryEx& q) {
                        q.BindStr(1, aWho);
                        q.BindInteger(2, n);
                    });
                    if (n % 7 == 3)
                        throw Exception("rolled back on purpose");
                    db.ExecSQL("update t set n = n where who = ?", [&](TSQLiteQueryEx& q) { q.BindStr(1, aWho); });
                });
            } catch (const Exception&) {
            }
        }
    };
    std::thread gui(work, "gui"), scheduler(work, "scheduler");
    gui.join();
    scheduler.join();
    for (const char* who : {"gui", "scheduler"}) {
        std::set<int64_t> seen;
        TSQLiteUniTable rows(db, "select n from t where who = ?");
        rows.BindStr(1, who);
        for (; !rows.Eof(); rows.Next())
            seen.insert(rows.FieldAsInteger(0));
        std::set<int64_t> expected;
        for (int n = 0; n < kRounds; ++n)
            if (n % 7 != 3)
                expected.insert(n);
        EXPECT_EQ(seen, expected) << who;
    }
}

// Two connections to one file, from two threads: BEGIN IMMEDIATE and the
// busy timeout let both finish instead of failing with SQLITE_BUSY.
TEST(TransactionTest, TwoConnectionsWaitForEachOther)
{
    TScratchFolder data;
    const auto path = data.Path() / "busy.db";
    TSQLiteDatabase(path).ExecSQL("create table t (v)");
    auto writer = [&] {
        TSQLiteDatabase db(path);
        for (int i = 0; i < 50; ++i)
            TTransaction::Run(db, [&] {
                const int64_t count = db.GetTableValue("select count(*) from t");
                db.ExecSQL("insert into t values (?)", [&](TSQLiteQueryEx& q) { q.BindInt64(1, count); });
            });
    };
    std::thread a(writer), b(writer);
    a.join();
    b.join();
    TSQLiteDatabase db(path);
    EXPECT_EQ(db.GetTableValue("select count(*) from t"), 100);
    EXPECT_EQ(db.GetTableValue("select count(distinct v) from t"), 100);   // no read-then-write race
}

} // namespace
