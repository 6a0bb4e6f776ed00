#include "Business/Data/ConfigManager.h"
#include "Business/Data/Schema.h"
#include "Business/Data/SqliteQuery.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Business.h"
#include "Business/Marketing/LetterManager.h"
#include "Business/Marketing/TemplateManager.h"
#include "Business/Resource/ResourceManager.h"
#include "Runtime/AutoReleasePool.h"
#include "Runtime/GuidId.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kSysTemplate = "5F0C3A1B2D4E4F60718293A4B5C6D7E8";
constexpr const char* kSysTemplateOtherLanguage = "6A0C3A1B2D4E4F60718293A4B5C6D7E8";
constexpr const char* kSysLetter = "7B0C3A1B2D4E4F60718293A4B5C6D7E8";

void WriteFile(const fs::path& aPath, const std::string& aText)
{
    fs::create_directories(aPath.parent_path());
    std::ofstream(aPath, std::ios::binary) << aText;
}

std::string ReadFile(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A system set as the program would ship it: two templates of kind 2 (one
// in language 5) and one letter.
void MakeSystemSet(const fs::path& aProgram, int aVersion)
{
    fs::create_directories(aProgram / "SysTemplates");
    fs::create_directories(aProgram / "SysLetter");
    {
        TSQLiteDatabase db(aProgram / "SysTemplates" / "Templates.db");
        db.ExecSQL(schema::kTemplate);
        db.ExecSQL("pragma user_version = " + std::to_string(aVersion));
        for (auto [id, language] : {std::pair{kSysTemplate, 0}, std::pair{kSysTemplateOtherLanguage, 5}})
            db.ExecSQL("insert into [Template] values (?, 2, ?, 'System', 'preview.png', 'index.html', 1, 0)",
                       [&](TSQLiteQueryEx& q) {
                           q.BindStr(1, id);
                           q.BindInteger(2, language);
                       });
    }
    WriteFile(aProgram / "SysTemplates" / kSysTemplate / "index.html", "<p>system</p>");
    WriteFile(aProgram / "SysTemplates" / kSysTemplate / "preview.png", "png");
    WriteFile(aProgram / "SysTemplates" / kSysTemplate / "images" / "logo.png", "logo");
    TSQLiteDatabase db(aProgram / "SysLetter" / "Letter.db");
    db.ExecSQL(schema::kLetter);
    db.ExecSQL("pragma user_version = " + std::to_string(aVersion));
    db.ExecSQL("insert into [Letter] values (?, 1, 'Blue', 'blue.png', 0)",
               [&](TSQLiteQueryEx& q) { q.BindStr(1, kSysLetter); });
    WriteFile(aProgram / "SysLetter" / "blue.png", "blue");
}

class StationeryTest : public ::testing::Test {
protected:
    void Start(int aSystemVersion = 1, const std::string& aTemplateIni = {})
    {
        FProgram = FScratch.Path() / "prog";
        FData = FScratch.Path() / "data";
        fs::create_directories(FProgram);
        MakeSystemSet(FProgram, aSystemVersion);
        if (!aTemplateIni.empty())
            WriteFile(FProgram / "Template.ini", aTemplateIni);
        FSystemDb = ReadFile(FProgram / "SysTemplates" / "Templates.db");
        ::setenv("QMC2FOLDER", FData.c_str(), 1);
        TConfigManager::BuildInstance(FProgram, TArguments{});
        TTempFileManager::BuildInstance();
        TResourceManager::BuildInstance(TBusiness::VisitorFactories());
        TTemplateManager::BuildInstance();
        TLetterManager::BuildInstance();
        Templates()->Init();
        Letters()->Init();
        FStarted = true;
    }
    void TearDown() override
    {
        if (!FStarted)
            return;
        Templates()->UnInit();
        Letters()->UnInit();
        TLetterManager::ReleaseInstance();
        TTemplateManager::ReleaseInstance();
        TResourceManager::ReleaseInstance();
        TTempFileManager::ReleaseInstance();
        TConfigManager::ReleaseInstance();
        ::unsetenv("QMC2FOLDER");
    }
    static TTemplateManager* Templates() { return TTemplateManager::TemplateManager(); }
    static TLetterManager* Letters() { return TLetterManager::LetterManager(); }
    TRcResPath* Kind(const std::string& aKind)
    {
        return Templates()->GetTemplateRootFolder()->Append(TRcResId::CreateAndAutoRelease(rtTemplateFolder, aKind));
    }
    static std::vector<std::string> Listed(TRcResPath* aPath, TResType aType, IListOpertion* aOpertion = nullptr)
    {
        std::vector<std::string> ids;
        TResourceManager::ResourceManager()->List(aPath, aType, [&](TRcResId* aId) { ids.push_back(aId->Id()); },
                                                  aOpertion);
        return ids;
    }
    // A source folder for an import, with the page and its preview.
    fs::path Source(const std::string& aName)
    {
        const fs::path folder = FScratch.Path() / aName;
        WriteFile(folder / "index.html", "<p>" + aName + "</p>");
        WriteFile(folder / "preview.png", "png");
        return folder;
    }

    TRetainCountObjectAutoReleasePool FPool;
    TScratchFolder FScratch{"qm-stationery"};
    fs::path FProgram;
    fs::path FData;
    std::string FSystemDb;
    bool FStarted = false;
};

class TKindOpertion : public TRcObject, public ITemplateListOpertion {
public:
    explicit TKindOpertion(int aKind) : FKind(aKind) {}
    int TemplateKind() const override { return FKind; }
    int FKind;
};

TEST_F(StationeryTest, SystemAndUserSetsAreListedTogetherAndTheSystemSetIsNeverWritten)
{
    Start();
    EXPECT_EQ(Listed(nullptr, rtTemplateFolder), std::vector<std::string>{TTemplateManager::kRootFolderId});
    EXPECT_TRUE(TResourceManager::ResourceManager()->GetOne(nullptr, rtTemplateFolder)->Equals(Templates()->GetTemplateRootFolder()));
    EXPECT_EQ(Listed(Templates()->GetTemplateRootFolder(), rtTemplateFolder), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Templates()->GetTemplateFolderCaption(Kind("2")->Last()), "内容");

    TRcResPath* imported = Templates()->ImportTemplate(Kind("2"), "Mine", 0, Source("mine"), "index.html", "preview.png");
    ASSERT_NE(imported, nullptr);
    const std::string mine = imported->Last()->Id();
    EXPECT_EQ(Listed(Kind("2"), rtTemplate), (std::vector<std::string>{kSysTemplate, kSysTemplateOtherLanguage, mine}));
    auto language5 = MakeRc<TKindOpertion>(5);
    EXPECT_EQ(Listed(Kind("2"), rtTemplate, language5.Get()), std::vector<std::string>{kSysTemplateOtherLanguage});
    EXPECT_TRUE(Listed(Kind("1"), rtTemplate).empty());
    EXPECT_TRUE(Listed(Kind("9"), rtTemplate).empty());

    // Each template is found in its own set, with its files there.
    TRcTemplate* system = Templates()->GetTemplate(Kind("2")->Append(TRcResId::CreateAndAutoRelease(rtTemplate, kSysTemplate)));
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(system->FAppSystemFlag);
    EXPECT_EQ(Templates()->FetchTemplateFullFileName(system, "index.html"),
              FProgram / "SysTemplates" / kSysTemplate / "index.html");
    TRcTemplate* own = Templates()->GetTemplate(imported);
    ASSERT_NE(own, nullptr);
    EXPECT_FALSE(own->FAppSystemFlag);
    EXPECT_EQ(ReadFile(Templates()->FetchTemplateFullFileName(own, "index.html")), "<p>mine</p>");

    // Deleting a system template does nothing; a user's goes with its folder.
    Templates()->DeleteTemplate(Kind("2")->Append(TRcResId::CreateAndAutoRelease(rtTemplate, kSysTemplate)));
    Templates()->DeleteTemplate(imported);
    EXPECT_EQ(Listed(Kind("2"), rtTemplate), (std::vector<std::string>{kSysTemplate, kSysTemplateOtherLanguage}));
    EXPECT_FALSE(fs::exists(FData / "Templates" / mine));
    EXPECT_EQ(ReadFile(FProgram / "SysTemplates" / "Templates.db"), FSystemDb);
}

TEST_F(StationeryTest, TheKindsAreTheConfiguredOnes)
{
    Start(1, "[Template]\n1=A\n1=B\n2=C\n");
    TRcResPath* root = Templates()->GetTemplateRootFolder();
    EXPECT_EQ(Listed(root, rtTemplateFolder), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(Templates()->GetTemplateFolderCaption(Kind("1")->Last()), "A");
    EXPECT_EQ(Templates()->GetTemplateFolderCaption(Kind("2")->Last()), "C");
    EXPECT_EQ(Listed(Kind("2"), rtTemplate).size(), 2u);
    // A kind the configuration no longer names lists nothing and takes nothing.
    EXPECT_EQ(TResourceManager::ResourceManager()->List(Kind("3"), rtTemplate), nullptr);
    EXPECT_EQ(Templates()->ImportTemplate(Kind("3"), "Mine", 0, Source("mine"), "index.html", "preview.png"), nullptr);
}

TEST_F(StationeryTest, ASystemSetOfAnotherVersionIsHiddenAndTheUserSetStillWorks)
{
    Start(2);
    EXPECT_TRUE(Listed(Kind("2"), rtTemplate).empty());
    EXPECT_TRUE(Listed(Letters()->GetLetterRootFolder(), rtLetter).empty());
    EXPECT_NE(Templates()->ImportTemplate(Kind("2"), "Mine", 0, Source("mine"), "index.html", "preview.png"), nullptr);
    EXPECT_EQ(Listed(Kind("2"), rtTemplate).size(), 1u);
}

TEST_F(StationeryTest, NamesFromSubjectsAndRowsNeverLeaveTheirFolders)
{
    Start();
    // A new mail's copy of a template is named after its subject.
    TRcResPath* system = Kind("2")->Append(TRcResId::CreateAndAutoRelease(rtTemplate, kSysTemplate));
    const fs::path temp = TTempFileManager::TempFileManager()->MakeTempDirectoryName("", false).parent_path();
    for (const std::string subject : {"../../x", "/etc/passwd", "..", "a/../../b\\..\\c"}) {
        SCOPED_TRACE(subject);
        fs::path folder;
        ASSERT_NE(Templates()->BuildTemplateInstanceForSubject(system, subject, folder), nullptr);
        EXPECT_EQ(folder.parent_path(), temp);
        EXPECT_EQ(ReadFile(folder / "images" / "logo.png"), "logo");
    }
    // A template named like a path is stored under its id all the same.
    TRcResPath* imported = Templates()->ImportTemplate(Kind("1"), "../../x", 0, Source("src"), "index.html", "preview.png");
    ASSERT_NE(imported, nullptr);
    EXPECT_TRUE(fs::exists(FData / "Templates" / imported->Last()->Id() / "index.html"));
    EXPECT_EQ(Templates()->GetTemplate(imported)->FName, "../../x");
    // File names that are paths are refused.
    EXPECT_EQ(Templates()->ImportTemplate(Kind("1"), "up", 0, Source("src"), "../src/index.html", "preview.png"), nullptr);
    EXPECT_TRUE(Templates()->FetchTemplateFullFileName(Templates()->GetTemplate(imported), "../../Accounts").empty());

    // A row whose id is not 32 hex digits loses its row, never a folder.
    const fs::path victim = FData / "victim";
    WriteFile(victim / "keep.txt", "keep");
    {
        TSQLiteDatabase db(FData / "Templates" / "Templates.db");
        db.ExecSQL("insert into [Template] values ('../victim', 1, 0, 'Bad', 'p.png', 'i.html', 0, 0)");
    }
    Templates()->DeleteTemplate(Kind("1")->Append(TRcResId::CreateAndAutoRelease(rtTemplate, "../victim")));
    EXPECT_TRUE(fs::exists(victim / "keep.txt"));
    EXPECT_EQ(Listed(Kind("1"), rtTemplate), std::vector<std::string>{imported->Last()->Id()});
}

TEST_F(StationeryTest, ALetterIsResolvedInItsOwnSet)
{
    Start();
    TRcResPath* folder = Letters()->GetLetterRootFolder();
    WriteFile(FScratch.Path() / "pics" / "rose.png", "rose");
    TRcResPath* imported = Letters()->ImportLetter(folder, "Rose", FScratch.Path() / "pics", "rose.png");
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(Listed(nullptr, rtLetterFolder), std::vector<std::string>{TLetterManager::kFolderId});
    EXPECT_TRUE(TResourceManager::ResourceManager()->GetOne(nullptr, rtLetterFolder)->Equals(folder));
    EXPECT_EQ(Listed(folder, rtLetter), (std::vector<std::string>{kSysLetter, imported->Last()->Id()}));

    const struct {
        TRcResPath* Path;
        std::string Picture;
    } cases[] = {
        {folder->Append(TRcResId::CreateAndAutoRelease(rtLetter, kSysLetter)), "blue"},
        {imported, "rose"},
    };
    for (const auto& c : cases) {
        TRcLetter* letter = Letters()->GetLetter(c.Path);
        ASSERT_NE(letter, nullptr);
        EXPECT_EQ(ReadFile(Letters()->FetchLetterFullFileName(letter, letter->FFileName)), c.Picture);
    }

    Letters()->DeleteLetter(imported);
    EXPECT_EQ(Listed(folder, rtLetter), std::vector<std::string>{kSysLetter});
    EXPECT_FALSE(fs::exists(FData / "Letter" / imported->Last()->Id()));
}

} // namespace
