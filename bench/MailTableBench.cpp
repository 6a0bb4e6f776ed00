// The mail table at a heavy user's size: 100k rows inserted in batches of
// 1000 per transaction, then listed by date.
#include "Business/Data/Databases.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/GuidId.h"
#include "Support/ScratchFolder.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr int kRows = 100000;
constexpr int kBatch = 1000;

struct TScratch {
    TScratchFolder Scratch{"qm-bench"};
    std::filesystem::path Folder = Scratch.Path();
};

void InsertMails(TSQLiteDatabase& aDb)
{
    TSQLiteQueryEx insert(aDb, "replace into [Mail] ([Id], [Type], [SeenFlag], [SendReciveState], [Uid], [MessageId], "
                               "[From], [To], [Subject], [Date], [HasAttachmentFlag], [Size], [QunFaFlag], "
                               "[References], [MailSummary]) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (int start = 0; start < kRows; start += kBatch) {
        TTransaction transaction(aDb);
        for (int i = start; i < start + kBatch; ++i) {
            const std::string n = std::to_string(i);
            insert.BindStr(1, NewGuidId());
            insert.BindInteger(2, i % 3);
            insert.BindBoolean(3, i % 2);
            insert.BindInteger(4, 0);
            insert.BindStr(5, "uidl-" + n);
            insert.BindStr(6, "<" + n + "@example.com>");
            insert.BindStr(7, "客户 " + n + " <buyer" + n + "@example.com>");
            insert.BindStr(8, "sales@example.com");
            insert.BindStr(9, "Re: 报价单 quotation " + n);
            insert.BindDouble(10, 45000.0 + (i * 7919 % kRows) / 100.0);
            insert.BindBoolean(11, i % 5 == 0);
            insert.BindInteger(12, 20000 + i);
            insert.BindStr(13, "F");
            insert.BindBoolean(14, false);
            insert.BindStr(15, "Dear customer, thank you for your enquiry about item " + n);
            insert.Exec();
        }
        transaction.Commit();
    }
}

void BM_Insert100kMails(benchmark::State& state)
{
    for (auto _ : state) {
        TScratch scratch;
        auto db = CreateAccountDatabase(scratch.Folder / "Account.db");
        InsertMails(*db);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Insert100kMails)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ListMailsByDate(benchmark::State& state)
{
    TScratch scratch;
    auto db = CreateAccountDatabase(scratch.Folder / "Account.db");
    InsertMails(*db);
    const bool firstPageOnly = state.range(0) != 0;
    for (auto _ : state) {
        TSQLiteUniTable rows(*db, std::string("select [Id], [From], [Subject], [Date], [Size] from [Mail] "
                                              "where [Type] = ? order by [Date] desc") +
                                      (firstPageOnly ? " limit 100" : ""));
        rows.BindInteger(1, 1);
        int64_t count = 0;
        for (; !rows.Eof(); rows.Next()) {
            benchmark::DoNotOptimize(rows.FieldAsString(2));
            ++count;
        }
        state.counters["rows"] = static_cast<double>(count);
    }
}
BENCHMARK(BM_ListMailsByDate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
