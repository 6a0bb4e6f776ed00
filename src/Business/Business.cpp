#include "Business.h"

#include "Account/AccountFolder.h"
#include "Account/AccountManager.h"
#include "Account/AccountVisitorFactories.h"
#include "AccountMail/AccountMailManager.h"
#include "AccountMail/AccountMailVisitorFactory.h"
#include "Contacts/AddressBookGroupManager.h"
#include "Contacts/AddressBookManager.h"
#include "Contacts/ContactsVisitorFactories.h"
#include "Data/ConfigManager.h"
#include "Data/DataFolder.h"
#include "Data/DataFolderClear.h"
#include "Data/TempFileManager.h"
#include "Marketing/ConversationItemManager.h"
#include "Marketing/ConversationManager.h"
#include "Marketing/ConversationVisitorFactories.h"
#include "Marketing/LetterManager.h"
#include "Marketing/ProductGroupManager.h"
#include "Marketing/ProductManager.h"
#include "Marketing/ProductVisitorFactories.h"
#include "Marketing/PromoteTemplateManager.h"
#include "Marketing/PromoteTemplateVisitorFactories.h"
#include "Marketing/StationeryVisitorFactories.h"
#include "Marketing/TemplateManager.h"
#include "Resource/ResourceManager.h"
#include "Rules/MailFilter.h"
#include "Rules/NameList.h"
#include "Rules/RulesVisitorFactories.h"
#include "Rules/SecretaryManager.h"
#include "Server/ServerDriver.h"
#include "Update/AppUpdateManager.h"
#include "Runtime/Log.h"
#include "Runtime/ProgramPaths.h"

#include <exception>
#include <vector>

namespace {

const TAccountResVisitorFactory kAccountFactory;
const TAccountMailFolderResVisitorFactory kAccountMailFolderFactory;
const TSignResVisitorFactory kSignFactory;
const TAccountMailResVisitorFactory kAccountMailFactory;
const TAccountAddressBookFolderResVisitorFactory kAddressBookFolderFactory;
const TAccountAddressBookGroupResVisitorFactory kAddressBookGroupFactory;
const TAccountAddressBookResVisitorFactory kAddressBookFactory;
const TBlackNameListResVisitorFactory kBlackNameListFactory;
const TWhiteNameListResVisitorFactory kWhiteNameListFactory;
const TSubjectFilterResVisitorFactory kSubjectFilterFactory;
const TTemplateFolderResVisitorFactory kTemplateFolderFactory;
const TTemplateResVisitorFactory kTemplateFactory;
const TLetterFolderResVisitorFactory kLetterFolderFactory;
const TLetterResVisitorFactory kLetterFactory;
const TSecretaryResVisitorFactory kSecretaryFactory;
const TConversationListResVisitorFactory kConversationFactory;
const TConversationItemListResVisitorFactory kConversationItemFactory;
const TProductGroupResVisitorFactory kProductGroupFactory;
const TProductResVisitorFactory kProductFactory;
const TProductImageResVisitorFactory kProductImageFactory;
const TAccountPromoteTemplateFolderResVisitorFactory kPromoteTemplateFolderFactory;
const TPromoteTemplateResVisitorFactory kPromoteTemplateFactory;
const TPromoteTemplateItemResVisitorFactory kPromoteTemplateItemFactory;

// The visitor factory of each resource type; domains add theirs here as
// they are built.
const TResVisitorFactoryEntry kVisitorFactories[] = {
    {rtAccount, &kAccountFactory},
    {rtAccountMailFolder, &kAccountMailFolderFactory},
    {rtAccountMail, &kAccountMailFactory},
    {rtAccountAddressBookFolder, &kAddressBookFolderFactory},
    {rtAccountAddressBookGroup, &kAddressBookGroupFactory},
    {rtAccountAddressBook, &kAddressBookFactory},
    {rtTemplateFolder, &kTemplateFolderFactory},
    {rtTemplate, &kTemplateFactory},
    {rtLetterFolder, &kLetterFolderFactory},
    {rtLetter, &kLetterFactory},
    {rtBlackNameList, &kBlackNameListFactory},
    {rtWhiteNameList, &kWhiteNameListFactory},
    {rtFilter, &kSubjectFilterFactory},
    {rtSigin, &kSignFactory},
    {rtSecretary, &kSecretaryFactory},
    {rtConversation, &kConversationFactory},
    {rtConversationItems, &kConversationItemFactory},
    {rtProductGroup, &kProductGroupFactory},
    {rtProduct, &kProductFactory},
    {rtProductImage, &kProductImageFactory},
    {rtPromoteTemplateFolder, &kPromoteTemplateFolderFactory},
    {rtPromoteTemplate, &kPromoteTemplateFactory},
    {rtPromoteTemplateItem, &kPromoteTemplateItemFactory},
};

// The resource manager is built with the program's factories.
constexpr TSingletonClass kResourceManager{
    "TResourceManager",
    [] { TResourceManager::BuildInstance(std::span<const TResVisitorFactoryEntry>(kVisitorFactories)); },
    [] { TResourceManager::ReleaseInstance(); },
    [] { return TResourceManager::Instance() != nullptr; },
};
constexpr TSingletonClass kConfigManager = SingletonClassOf<TConfigManager>("TConfigManager");
constexpr TSingletonClass kTempFileManager = SingletonClassOf<TTempFileManager>("TTempFileManager");
constexpr TSingletonClass kAccountManager = SingletonClassOf<TAccountManager>("TAccountManager");
constexpr TSingletonClass kAccountFolderManager = SingletonClassOf<TAccountFolderManager>("TAccountFolderManager");
constexpr TSingletonClass kServerDriver = SingletonClassOf<TServerDriver>("TServerDriver");
constexpr TSingletonClass kAccountMailManager = SingletonClassOf<TAccountMailManager>("TAccountMailManager");
constexpr TSingletonClass kAccountAddressBookGroupManager =
    SingletonClassOf<TAccountAddressBookGroupManager>("TAccountAddressBookGroupManager");
constexpr TSingletonClass kAccountAddressBookManager =
    SingletonClassOf<TAccountAddressBookManager>("TAccountAddressBookManager");
constexpr TSingletonClass kAppUpdateManager = SingletonClassOf<TAppUpdateManager>("TAppUpdateManager");
constexpr TSingletonClass kNameListManager = SingletonClassOf<TNameListManager>("TNameListManager");
constexpr TSingletonClass kMailFilterManager = SingletonClassOf<TMailFilterManager>("TMailFilterManager");
constexpr TSingletonClass kSecretaryManager = SingletonClassOf<TSecretaryManager>("TSecretaryManager");
constexpr TSingletonClass kTemplateManager = SingletonClassOf<TTemplateManager>("TTemplateManager");
constexpr TSingletonClass kLetterManager = SingletonClassOf<TLetterManager>("TLetterManager");
constexpr TSingletonClass kConversationManager = SingletonClassOf<TConversationManager>("TConversationManager");
constexpr TSingletonClass kConversationItemManager =
    SingletonClassOf<TConversationItemManager>("TConversationItemManager");
constexpr TSingletonClass kProductManager = SingletonClassOf<TProductManager>("TProductManager");
constexpr TSingletonClass kProductGroupManager = SingletonClassOf<TProductGroupManager>("TProductGroupManager");
constexpr TSingletonClass kPromoteTemplateManager =
    SingletonClassOf<TPromoteTemplateManager>("TPromoteTemplateManager");

// The managers join these tables as they are built.
constexpr TSingletonClass kBuildOrder[] = {
    kResourceManager,         kConfigManager,
    kTempFileManager,         kAccountManager,
    kServerDriver,            kAccountFolderManager,
    kAccountMailManager,      kAccountAddressBookGroupManager,
    kAccountAddressBookManager, kTemplateManager,
    kAppUpdateManager,        kNameListManager,
    kMailFilterManager,       kLetterManager,
    kSecretaryManager,        kConversationManager,
    kConversationItemManager, kProductManager,
    kProductGroupManager,     kPromoteTemplateManager};
// Mail files left by a crash go before any mail job can run.
constexpr TBusinessCall kInitCallTable[] = {
    {"TAccountMailManager.SweepMailFiles",
     [] {
         if (TAccountMailManager* manager = TAccountMailManager::AccountMailManager())
             manager->SweepMailFiles();
     }},
    {"TTemplateManager.Init",
     [] {
         if (TTemplateManager* manager = TTemplateManager::TemplateManager())
             manager->Init();
     }},
    {"TLetterManager.Init",
     [] {
         if (TLetterManager* manager = TLetterManager::LetterManager())
             manager->Init();
     }},
    // An account whose conversations were never indexed whole gets its
    // index before any mail job can add to it.
    {"TConversationManager.Init",
     [] {
         if (TConversationManager* manager = TConversationManager::ConversationManager())
             manager->Init();
     }},
    {"TServerDriver.Init",
     [] {
         if (TServerDriver* driver = TServerDriver::ServerDriver())
             driver->Init();
     }},
};
constexpr std::span<const TBusinessCall> kInitCalls{kInitCallTable};
// The scheduler thread ends before any manager it uses is released.
constexpr TBusinessCall kUnInitCallTable[] = {
    {"TServerDriver.UnInit",
     [] {
         if (TServerDriver* driver = TServerDriver::ServerDriver())
             driver->UnInit();
     }},
    {"TTemplateManager.UnInit",
     [] {
         if (TTemplateManager* manager = TTemplateManager::TemplateManager())
             manager->UnInit();
     }},
};
constexpr std::span<const TBusinessCall> kUnInitCalls{kUnInitCallTable};
// Managers left out here (the conversation and product catalogue managers)
// are released last, the last built first.
constexpr TSingletonClass kReleaseOrder[] = {
    kResourceManager,         kConfigManager,
    kTempFileManager,         kAccountFolderManager,
    kAccountMailManager,      kAccountAddressBookGroupManager,
    kAccountAddressBookManager, kAccountManager,
    kTemplateManager,         kServerDriver,
    kAppUpdateManager,        kNameListManager,
    kMailFilterManager,       kLetterManager,
    kSecretaryManager,        kPromoteTemplateManager};

const TBusinessLifecycle kLifecycle{kBuildOrder, kInitCalls, kUnInitCalls, kReleaseOrder};

bool gInitialized = false;

void ReleaseBuilt(std::span<const TSingletonClass> aBuild, std::exception_ptr& aFirstError)
{
    for (auto it = aBuild.rbegin(); it != aBuild.rend(); ++it) {
        if (!it->IsBuilt())
            continue;
        TLog::O(lolDebug, "释放单例 %s", {it->Name});
        try {
            it->ReleaseInstance();
        } catch (const std::exception& e) {
            TLog::O(lolError, "释放单例 %s 失败：%s", {it->Name, e.what()});
            if (!aFirstError)
                aFirstError = std::current_exception();
        }
    }
}

} // namespace

std::span<const TResVisitorFactoryEntry> TBusiness::VisitorFactories()
{
    return kVisitorFactories;
}

const TBusinessLifecycle& TBusiness::Lifecycle()
{
    return kLifecycle;
}

void TBusiness::Init()
{
    Init(kLifecycle);
}

void TBusiness::Init(const TBusinessLifecycle& aLifecycle)
{
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, "业务层初始化");
    if (gInitialized)
        throw Exception(TSingleton::kAlreadyBuilt);
    std::vector<TSingletonClass> built;
    try {
        for (const auto& singleton : aLifecycle.Build) {
            TLog::O(lolDebug, "构建单例 %s", {singleton.Name});
            BuildSingleton(singleton);
            built.push_back(singleton);
        }
        for (const auto& call : aLifecycle.InitCalls) {
            TLog::O(lolDebug, "调用 %s", {call.Name});
            call.Run();
        }
    } catch (const std::exception& e) {
        TLog::O(lolError, "业务层初始化失败：%s", {e.what()});
        // Stop what the init calls started (threads) before anything goes,
        // then release what this call built, and only that.
        for (const auto& call : aLifecycle.UnInitCalls) {
            try {
                call.Run();
            } catch (const std::exception& inner) {
                TLog::O(lolError, "调用 %s 失败：%s", {call.Name, inner.what()});
            }
        }
        std::exception_ptr ignored;
        ReleaseBuilt(built, ignored);
        throw;
    }
    gInitialized = true;
}

void TBusiness::UnInit()
{
    UnInit(kLifecycle);
}

void TBusiness::UnInit(const TBusinessLifecycle& aLifecycle)
{
    auto trace = TLog::MEnterExit(lolInfo, lolDebug, "业务层反初始化");
    std::exception_ptr firstError;
    for (const auto& call : aLifecycle.UnInitCalls) {
        TLog::O(lolDebug, "调用 %s", {call.Name});
        try {
            call.Run();
        } catch (const std::exception& e) {
            TLog::O(lolError, "调用 %s 失败：%s", {call.Name, e.what()});
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    for (const auto& singleton : aLifecycle.Release) {
        if (!singleton.IsBuilt())
            continue;
        TLog::O(lolDebug, "释放单例 %s", {singleton.Name});
        try {
            ReleaseSingleton(singleton);
        } catch (const std::exception& e) {
            TLog::O(lolError, "释放单例 %s 失败：%s", {singleton.Name, e.what()});
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    // Managers built but missing from the release order go last.
    ReleaseBuilt(aLifecycle.Build, firstError);
    gInitialized = false;
    if (firstError)
        std::rethrow_exception(firstError);
}

bool TBusiness::Initialized()
{
    return gInitialized;
}

void TBusiness::ClearDataPathAllData()
{
    if (gInitialized || TConfigManager::ConfigManager())
        throw Exception(kCannotClear);
    // The configuration alone decides where the data is.
    std::filesystem::path dataFolder;
    TConfigManager::BuildInstance();
    try {
        dataFolder = TConfigManager::ConfigManager()->DataPath();
    } catch (...) {
        TConfigManager::ReleaseInstance();
        throw;
    }
    TConfigManager::ReleaseInstance();

    TLog::O(lolInfo, "清除数据文件夹 %s", {dataFolder.string()});
    std::vector<std::string> failures;
    for (const auto& path : ClearDataFolderItems(dataFolder, ProgramFolder(), failures))
        TLog::O(lolInfo, "已删除 %s", {path.string()});
    for (const auto& failure : failures)
        TLog::O(lolError, "不能删除 %s", {failure});
    if (!failures.empty())
        throw Exception("不能清除全部数据：" + failures.front());
}

bool TBusiness::ApplicationExitNeedClearAllData()
{
    const TConfigManager* config = TConfigManager::ConfigManager();
    return config && config->ApplicationExitNeedClearAllData();
}
