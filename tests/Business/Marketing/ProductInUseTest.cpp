#include "Business/Data/Databases.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Marketing/ProductInUse.h"
#include "Runtime/GuidId.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum class TDb { None, UsesIt, UsesAnother, NoItemTable, Unreadable };
enum class TAnswer { NotInUse, InUse, Refused };

void PrintTo(TAnswer aAnswer, std::ostream* aOut)
{
    *aOut << (aAnswer == TAnswer::InUse ? "in use" : aAnswer == TAnswer::NotInUse ? "not in use" : "refused");
}

struct TAccountSetup {
    TDb Db;
    bool Deleted = false;
};

// A data folder with these accounts, listed in this order, each with the
// promotion template items its database is given.
void MakeAccounts(const fs::path& aData, const std::vector<TAccountSetup>& aAccounts, const std::string& aProductId)
{
    auto accounts = EnsureAccountsDb(aData);
    int order = 0;
    for (const auto& account : aAccounts) {
        const std::string id = NewGuidId();
        accounts->ExecSQL("insert into [Account]([id], [Order], [Delete]) values(?, ?, ?)", [&](TSQLiteQueryEx& q) {
            q.BindStr(1, id);
            q.BindInteger(2, ++order);
            q.BindInteger(3, account.Deleted ? 1 : 0);
        });
        const fs::path file = aData / "Accounts" / id / "Account.db";
        if (account.Db == TDb::None)
            continue;
        if (account.Db == TDb::Unreadable) {
            fs::create_directories(file.parent_path());
            std::ofstream(file) << "this is no database, but it is long enough to be mistaken for a header page";
            continue;
        }
        auto db = CreateAccountDatabase(file);
        if (account.Db == TDb::NoItemTable)
            db->ExecSQL("drop table [promoteTemplateitem]");
        else
            db->ExecSQL("insert into [promoteTemplateitem]([Id], [productid]) values(?, ?)", [&](TSQLiteQueryEx& q) {
                q.BindStr(1, NewGuidId());
                q.BindStr(2, account.Db == TDb::UsesIt ? aProductId : NewGuidId());
            });
    }
}

TEST(ProductInUseTest, AnyAccountsTemplateItemKeepsTheProduct)
{
    struct TCase {
        const char* Name;
        std::vector<TAccountSetup> Accounts;
        TAnswer Answer;
    } cases[] = {
        {"no account list", {}, TAnswer::NotInUse},
        {"used by the second account's template", {{TDb::UsesAnother}, {TDb::UsesIt}}, TAnswer::InUse},
        {"used by none", {{TDb::UsesAnother}, {TDb::NoItemTable}}, TAnswer::NotInUse},
        {"used only by a deleted account", {{TDb::UsesIt, true}, {TDb::UsesAnother}}, TAnswer::NotInUse},
        {"an account without a database is skipped", {{TDb::None}, {TDb::UsesIt}}, TAnswer::InUse},
        {"one account's database unreadable", {{TDb::UsesAnother}, {TDb::Unreadable}, {TDb::UsesAnother}},
         TAnswer::Refused},
    };
    for (const auto& c : cases) {
        TScratchFolder scratch("qm-product-use");
        const std::string product = NewGuidId();
        if (!c.Accounts.empty())
            MakeAccounts(scratch.Path(), c.Accounts, product);
        TAnswer answer = TAnswer::Refused;
        try {
            answer = IsProductInUse(scratch.Path(), product) ? TAnswer::InUse : TAnswer::NotInUse;
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind("不能检查产品是否已使用：", 0), 0u) << e.what();
        }
        EXPECT_EQ(answer, c.Answer) << c.Name;
    }
}

} // namespace
