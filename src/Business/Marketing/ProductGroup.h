// Product groups (the product screen's categories): flat, user-named,
// kept in the ProductGroup table of the catalogue's Product/Product.db.
// A group object of the store carries a connection of its own to that
// file, and it is the group store that builds the file when it is new.
#pragma once

#include <memory>
#include <string>

#include "Business/Resource/ResPath.h"
#include "Runtime/DateTime.h"
#include "Runtime/RcObject.h"
#include "Runtime/RcRef.h"

class TSQLiteDatabase;

class TRcProductGroup : public TRcObject {
public:
    TRcProductGroup() = delete;   // a group is made with its identity
    TRcProductGroup(std::string aId, TDateTime aCreateTime);
    // A new group: a fresh id, created now.
    static TRcProductGroup* CreateEmptyProductGroupAndAutoRelease();

    const std::string& Id() const { return FResId->Id(); }
    std::string ToString() const override;

    TRcRef<TRcResId> FResId;   // rtProductGroup
    std::string FName;
    TDateTime FCreateTime = 0;
    TDateTime FModifiedTime = 0;

protected:
    ~TRcProductGroup() override = default;
};

class TSqliteDbProductGroup : public TRcProductGroup {
public:
    static constexpr const char* kAlreadyOpen = "账户数据库已经被打开";
    static constexpr const char* kNotOpen = "账户数据库没有打开";

    // The group aId: when Product.db exists, its connection is opened and
    // the group's row, if any, loaded; otherwise nothing is opened.
    explicit TSqliteDbProductGroup(const std::string& aId);
    static TSqliteDbProductGroup* CreateAndAutoRelease(const std::string& aId)
    {
        return RcCreateAndAutoRelease<TSqliteDbProductGroup>(aId);
    }

    void OpenDb();     // the existing file; refused when open
    void CloseDb();    // refused when not open
    void CreateDb();   // opens, building the file when new; refused when open
    // The connection, built with CreateDb when there is none.
    TSQLiteDatabase& GetDb();
    bool IsOpen() const { return FDb != nullptr; }

    // Every group's id (type rtProductGroup), in table order.
    TRcResIdList* GetIds();                         // autoreleased
    TRcProductGroup* Load(const std::string& aId);  // autoreleased; nullptr without a row
    // Whether the row existed; counted in the writing transaction.
    bool Save(const TRcProductGroup* aGroup);
    // 0 deleted, 1 refused (products are still in it), 2 not found; the
    // group is the path's last id. Without Product.db nothing is there: 2.
    int Delete(const TRcResPath* aResPath);
    void DeleteAllProductGroup();

protected:
    ~TSqliteDbProductGroup() override;

private:
    TSQLiteDatabase& Db();

    std::unique_ptr<TSQLiteDatabase> FDb;
};
