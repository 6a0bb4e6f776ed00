// List operations: what a screen hands the resource manager with a path
// and a type, to filter or order a listing. Each kind has its interface,
// which the matching visitor factory looks for; any other kind, or none,
// lists with the manager's defaults. Screens write the fields directly.
#pragma once

#include <string>

#include "Runtime/RcObject.h"

class IListOpertion : public virtual IRcInterface {};

class IProductListOpertion : public virtual IListOpertion {
public:
    virtual std::string AllPathId() const = 0;
    virtual std::string NoGroupPathId() const = 0;
};

class IContactsListOpertion : public virtual IListOpertion {
public:
    virtual std::string AllResid() const = 0;
    virtual std::string NoGroupResid() const = 0;
};

enum TAccountMailListOpertionSordMode : int {
    amlosmDefault,
    amlosmSubject,
    amlosmSize,
    amlosmReadedFlag,
    amlosmNoReadedFlag,
};

class IAccountMailListOpertion : public virtual IListOpertion {
public:
    virtual std::string SubjectContainText() const = 0;
    virtual std::string FromContainText() const = 0;
    virtual std::string ToContainText() const = 0;
    virtual TAccountMailListOpertionSordMode SortMode() const = 0;
};

class ITemplateListOpertion : public virtual IListOpertion {
public:
    virtual int TemplateKind() const = 0;
};

class TRcProductListOpertionImpl : public TRcObject, public IProductListOpertion {
public:
    TRcProductListOpertionImpl(std::string aAllPathId, std::string aNoGroupPathId)
        : FAllPathId(std::move(aAllPathId)), FNoGroupPathId(std::move(aNoGroupPathId)) {}
    std::string AllPathId() const override { return FAllPathId; }
    std::string NoGroupPathId() const override { return FNoGroupPathId; }

    std::string FAllPathId;
    std::string FNoGroupPathId;
};

class TRcContactsListOpertionImpl : public TRcObject, public IContactsListOpertion {
public:
    TRcContactsListOpertionImpl(std::string aAllResid, std::string aNoGroupResid)
        : FAllResid(std::move(aAllResid)), FNoGroupResid(std::move(aNoGroupResid)) {}
    std::string AllResid() const override { return FAllResid; }
    std::string NoGroupResid() const override { return FNoGroupResid; }

    std::string FAllResid;
    std::string FNoGroupResid;
};

class TRcAccountMailListOpertionImpl : public TRcObject, public IAccountMailListOpertion {
public:
    static TRcAccountMailListOpertionImpl* Create() { return new TRcAccountMailListOpertionImpl(); }
    static TRcAccountMailListOpertionImpl* CreateAndAutoRelease()
    {
        return RcCreateAndAutoRelease<TRcAccountMailListOpertionImpl>();
    }
    std::string SubjectContainText() const override { return FSubjectContainText; }
    std::string FromContainText() const override { return FFromContainText; }
    std::string ToContainText() const override { return FToContainText; }
    TAccountMailListOpertionSordMode SortMode() const override { return FSortMode; }

    std::string FFromContainText;
    std::string FSubjectContainText;
    std::string FToContainText;
    TAccountMailListOpertionSordMode FSortMode = amlosmDefault;
};
