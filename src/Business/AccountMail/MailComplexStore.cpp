// Where a mail complex lives on disk: one copy of each part in the
// account's Mails/ folder, "{file id}.mcf" or, zipped, "{file id}.mcfz",
// described by MailComplex and MailComplexFile rows.
#include "SqliteDbMail.h"

#include "MailComplex.h"
#include "StoredComplexFiles.h"
#include "Business/Data/SqliteQuery.h"
#include "Runtime/Errors.h"
#include "Runtime/FileSync.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"
#include "Runtime/SafeFileName.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <unistd.h>
#include <zip.h>

namespace fs = std::filesystem;

namespace {

constexpr int64_t kArchiveThreshold = 102400;

void ZipInto(const fs::path& aSource, const fs::path& aArchive, const std::string& aEntryName)
{
    int error = 0;
    // Discarded unless closed: a half-written archive is never left.
    std::unique_ptr<zip_t, decltype(&zip_discard)> archive(
        zip_open(aArchive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error), &zip_discard);
    if (!archive)
        throw Exception("不能创建压缩文件 " + aArchive.string());
    std::unique_ptr<zip_source_t, decltype(&zip_source_free)> source(
        zip_source_file(archive.get(), aSource.c_str(), 0, -1), &zip_source_free);
    if (!source)
        throw Exception("不能压缩文件 " + aSource.string());
    const zip_int64_t index = zip_file_add(archive.get(), aEntryName.c_str(), source.get(), ZIP_FL_ENC_UTF_8);
    if (index < 0)
        throw Exception("不能压缩文件 " + aSource.string());
    source.release();   // the archive owns it now
    // The fastest level: most large parts are already compressed (office
    // files, PDFs, archives), where a higher level costs much time for
    // next to nothing.
    zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
    if (zip_close(archive.get()) != 0) {
        std::error_code ec;
        fs::remove(aArchive, ec);
        throw Exception("不能写入压缩文件 " + aArchive.string());
    }
    archive.release();   // zip_close freed it
}

// The first entry, by index (never by name), into aTarget; an archive
// without entries leaves no file.
void UnzipFirst(const fs::path& aArchive, const fs::path& aTarget)
{
    int error = 0;
    zip_t* archive = zip_open(aArchive.c_str(), ZIP_RDONLY, &error);
    if (!archive)
        throw Exception("不能打开压缩文件 " + aArchive.string());
    std::unique_ptr<zip_t, decltype(&zip_discard)> close(archive, &zip_discard);
    if (zip_get_num_entries(archive, 0) < 1)
        return;
    std::unique_ptr<zip_file_t, decltype(&zip_fclose)> entry(zip_fopen_index(archive, 0, 0), &zip_fclose);
    if (!entry)
        throw Exception("不能读取压缩文件 " + aArchive.string());
    std::ofstream out(aTarget, std::ios::binary | std::ios::trunc);
    char buffer[65536];
    zip_int64_t n;
    while ((n = zip_fread(entry.get(), buffer, sizeof buffer)) > 0)
        out.write(buffer, n);
    if (n < 0 || !out)
        throw Exception("不能解压文件 " + aArchive.string());
}

// Copies, links or zips one working file into Mails/ under a new id.
TStoredComplexFiles::TPart StorePart(const fs::path& aMailsPath, const fs::path& aWorking, int aType, int aSort,
                                     std::string aContentId, std::string aName, bool aNeedTranslate,
                                     TStoredComplexFiles::TMode aMode, double& aSyncSeconds)
{
    TStoredComplexFiles::TPart part{NewGuidId(), {}, aType, aSort, std::move(aContentId), std::move(aName),
                                    aNeedTranslate};
    std::error_code ec;
    const auto size = static_cast<int64_t>(fs::file_size(aWorking, ec));
    if (ec)
        throw Exception("文件(" + aWorking.string() + ")不存在");
    if (TSqliteDbMail::IsArchived(aWorking, size)) {
        part.Stored = aMailsPath / (part.FileId + ".mcfz");
        ZipInto(aWorking, part.Stored, aWorking.filename().string());
    } else {
        part.Stored = aMailsPath / (part.FileId + ".mcf");
        bool linked = false;
        if (aMode == TStoredComplexFiles::TMode::LinkAndSyncLater) {
            fs::create_hard_link(aWorking, part.Stored, ec);
            linked = !ec;
        }
        if (!linked)
            fs::copy_file(aWorking, part.Stored, fs::copy_options::overwrite_existing);
    }
    if (aMode == TStoredComplexFiles::TMode::CopyAndSync) {
        const auto start = std::chrono::steady_clock::now();
        SyncFile(part.Stored);
        aSyncSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    return part;
}


struct TStoredRow {
    std::string FileId;
    int Type;
    bool Valid;
    std::string ContentId;
    std::string FileName;
    bool NeedTranslate;
};

struct TStoredComplex {
    std::vector<TStoredRow> Rows;
    bool Promot = false;
};

// The rows of a live complex, read together in one short transaction, so
// no file work happens while the connection is held.
std::optional<TStoredComplex> ReadStoredComplex(TSQLiteDatabase& aDb, const std::string& aId)
{
    std::optional<TStoredComplex> stored;
    TTransaction::Run(aDb, [&] {
        TSQLiteUniTable head(aDb, "select [Promot] from [MailComplex] where ([Id] = ?) and ([Deleted] = 0)");
        head.BindStr(1, aId);
        if (head.Eof())
            return;
        stored.emplace();
        stored->Promot = head.FieldAsInteger(0) == 1;
        TSQLiteUniTable rows(aDb, "select  [Id],  [Type],  [Valid], [ContentId], [FileName], [NeedTranslate] from "
                                  "[MailComplexFile] where ([ComplexId] = ?) and ([Deleted] = 0) order by [Type], "
                                  "[SortNumber]");
        rows.BindStr(1, aId);
        for (; !rows.Eof(); rows.Next())
            stored->Rows.push_back({rows.FieldAsString(0), static_cast<int>(rows.FieldAsInteger(1)),
                                    rows.FieldAsBoolean(2), rows.FieldAsString(3), rows.FieldAsString(4),
                                    rows.FieldAsBoolean(5)});
    });
    return stored;
}

// Streams aSource into aTarget (a stored part can be large).
void CopyStoredFile(const fs::path& aSource, const fs::path& aTarget)
{
    std::ifstream in(aSource, std::ios::binary);
    if (!in)
        throw Exception("不能打开文件 " + aSource.string());
    std::ofstream out(aTarget, std::ios::binary | std::ios::trunc);
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        out.write(buffer, in.gcount());
    }
    if (in.bad() || !out)
        throw Exception("不能复制文件 " + aSource.string());
}

// Copies the stored parts into fresh working files. False when a part's
// file is gone (the complex was replaced meanwhile); the working files
// made so far are removed then.
bool ExtractStoredComplex(const TStoredComplex& aStored, const fs::path& aMailsPath, TRcMailComplex& aComplex)
{
    std::vector<fs::path> made;
    for (const TStoredRow& row : aStored.Rows) {
        if (!IsGuidId(row.FileId))
            continue;
        const fs::path plain = aMailsPath / (row.FileId + ".mcf");
        const fs::path zipped = aMailsPath / (row.FileId + ".mcfz");
        std::error_code ec;
        const bool isPlain = fs::exists(plain, ec);
        if (!isPlain && !fs::exists(zipped, ec)) {
            for (const auto& file : made)
                fs::remove(file, ec);
            return false;
        }
        const fs::path working = TRcMailComplex::GetTempFileName(SafeFileName(row.FileName, "part.dat"));
        made.push_back(working);
        if (isPlain)
            CopyStoredFile(plain, working);
        else
            UnzipFirst(zipped, working);
        switch (row.Type) {
        case mcftRaw:
            aComplex.Raw()->FValid = row.Valid;
            if (row.Valid)
                aComplex.Raw()->FFileName = working;
            break;
        case mcftHeader: aComplex.MsgHeader()->FFileName = working; break;
        case mcftHtmlBody: aComplex.HtmlBody()->FFileName = working; break;
        case mcftHtmlFile: {
            auto file = MakeRc<TRcMailComplexHtmlFile>();
            file->FFileName = working;
            file->FRealFileName = row.FileName;
            file->FContentId = row.ContentId;
            aComplex.HtmlFileList()->Add(file.Get());
            break;
        }
        case mcftAttachment: {
            auto file = MakeRc<TRcMailComplexAttachmentFile>();
            file->FFileName = working;
            file->FRealFileName = row.FileName;
            file->FNeedTranslate = row.NeedTranslate;
            aComplex.AttachmentFileList()->Add(file.Get());
            break;
        }
        default: break;
        }
    }
    return true;
}

TRcMailComplex* FinishLoadedComplex(TRcMailComplex& aComplex, bool aPromot, bool aDisplayPage)
{
    aComplex.FExtension = aPromot;
    aComplex.MessageHeaderLoadFromFile();
    if (!aDisplayPage)
        return &aComplex;
    const std::string page = "<META http-equiv=Content-Type content=\"text/html; charset=utf-8\">" +
                             TRcMailComplex::MakeNoCidHtmlString(aComplex.HtmlBody()->ReadHtmlContent(),
                                                                 aComplex.HtmlFileList());
    const std::string subject = aComplex.Subject();
    aComplex.NoCidHtmlBody()->FFileName =
        TRcMailComplex::GetTempFileName((subject.empty() ? "empty_subject" : subject) + ".html");
    aComplex.NoCidHtmlBody()->WriteHtmlContent(page);
    return &aComplex;
}

} // namespace

bool TSqliteDbMail::IsArchived(const fs::path& aFileName, int64_t aSize)
{
    static const char* const kCompressed[] = {".rar", ".zip", ".7z", ".jpg", ".png", ".gif", ".jpeg"};
    const std::string extension = aFileName.extension().string();
    for (const char* compressed : kCompressed)
        if (extension == compressed)
            return false;
    return aSize >= kArchiveThreshold;
}

TStoredComplexFiles::TStoredComplexFiles(const fs::path& aMailsPath, TRcMailComplex& aComplex, TMode aMode)
    : FPromot(aComplex.FExtension)
{
    aComplex.MessageHeaderSaveToFile();
    if (fs::create_directories(aMailsPath))
        SyncFolder(aMailsPath.parent_path());
    const std::string subject = aComplex.Subject();
    const std::string base = subject.empty() ? "empty_subject" : subject;
    try {
        FParts.push_back(StorePart(aMailsPath, aComplex.MsgHeader()->FFileName, mcftHeader, 0, "", base + ".msgh",
                                   false, aMode, FSyncSeconds));
        FParts.push_back(StorePart(aMailsPath, aComplex.HtmlBody()->FFileName, mcftHtmlBody, 0, "", base + ".html",
                                   false, aMode, FSyncSeconds));
        int sort = 0;
        for (TRcMailComplexHtmlFile* file : *aComplex.HtmlFileList())
            FParts.push_back(StorePart(aMailsPath, file->FFileName, mcftHtmlFile, sort++, file->FContentId,
                                       SafeFileName(file->FRealFileName, "inline.dat"), false, aMode, FSyncSeconds));
        sort = 0;
        for (TRcMailComplexAttachmentFile* file : *aComplex.AttachmentFileList())
            FParts.push_back(StorePart(aMailsPath, file->FFileName, mcftAttachment, sort++, "",
                                       SafeFileName(file->FRealFileName, "attachment.dat"), file->FNeedTranslate,
                                       aMode, FSyncSeconds));
    } catch (...) {
        Remove();
        throw;
    }
}

TStoredComplexFiles::~TStoredComplexFiles()
{
    Remove();
}

TStoredComplexFiles::TStoredComplexFiles(TStoredComplexFiles&& aOther) noexcept
    : FParts(std::move(aOther.FParts)), FPromot(aOther.FPromot), FSyncSeconds(aOther.FSyncSeconds)
{
    aOther.FParts.clear();
}

TStoredComplexFiles& TStoredComplexFiles::operator=(TStoredComplexFiles&& aOther) noexcept
{
    if (this != &aOther) {
        Remove();
        FParts = std::move(aOther.FParts);
        FPromot = aOther.FPromot;
        FSyncSeconds = aOther.FSyncSeconds;
        aOther.FParts.clear();
    }
    return *this;
}

void TStoredComplexFiles::Sync()
{
    const auto start = std::chrono::steady_clock::now();
    for (const auto& part : FParts)
        SyncFile(part.Stored);
    FSyncSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void TStoredComplexFiles::Remove() noexcept
{
    std::error_code ec;
    for (const auto& part : FParts)
        fs::remove(part.Stored, ec);
    FParts.clear();
}

bool TStoredComplexFiles::WriteRows(TSQLiteDatabase& aDb, const std::string& aId) const
{
    const bool existed =
        aDb.GetTableValue("select count(0) from [MailComplex] where ([Id] = ?) and ([Deleted] = 0)",
                          [&](TSQLiteUniTable& q) { q.BindStr(1, aId); }) > 0;
    aDb.ExecSQL("update [MailComplexFile] set [Deleted] = 1 where ([ComplexId] = ?)",
                [&](TSQLiteQueryEx& q) { q.BindStr(1, aId); });
    aDb.ExecSQL("replace into [MailComplex](   [Id] , [Deleted], [Promot]) values(   ? , ? , ? )",
                [&](TSQLiteQueryEx& q) {
                    q.BindStr(1, aId);
                    q.BindInteger(2, 0);
                    q.BindBoolean(3, FPromot);
                });
    TSQLiteQueryEx insert(aDb, "replace into [MailComplexFile](   [Id] , [ComplexId] , [Deleted] , [Type], "
                               "[SortNumber] , [Valid] , [ContentId] , [FileName] , [NeedTranslate]) values(   "
                               "? , ? , ? , ?, ? , ? , ? , ? , ? )");
    for (const auto& part : FParts) {
        insert.BindStr(1, part.FileId);
        insert.BindStr(2, aId);
        insert.BindInteger(3, 0);
        insert.BindInteger(4, part.Type);
        insert.BindInteger(5, part.SortNumber);
        insert.BindBoolean(6, true);
        insert.BindStr(7, part.ContentId);
        insert.BindStr(8, part.Name);
        insert.BindBoolean(9, part.NeedTranslate);
        insert.Exec();
    }
    return existed;
}

bool TSqliteDbMail::SaveMailComplex(TSQLiteDatabase& aDb, const fs::path& aMailsPath, const std::string& aId,
                                    TRcMailComplex& aComplex)
{
    // Slow file work first, outside any transaction; the new names synced
    // last, so a row never names a file a power loss can take.
    TStoredComplexFiles files(aMailsPath, aComplex);
    SyncFolder(aMailsPath);
    bool existed = false;
    TTransaction::Run(aDb, [&] { existed = files.WriteRows(aDb, aId); });
    files.Keep();
    try {
        DeleteMailComplex(aDb, aMailsPath);
    } catch (const std::exception& e) {
        TLog::O(lolWorn, "清理邮件文件失败：%s", {e.what()});
    }
    return existed;
}

void TSqliteDbMail::DeleteMailComplex(TSQLiteDatabase& aDb, const fs::path& aMailsPath)
{
    TTransaction::Run(aDb, [&] {
        TSQLiteUniTable rows(aDb, "select [Id] from [MailComplexFile] where ([Deleted] <> 0)");
        for (; !rows.Eof(); rows.Next()) {
            const std::string id = rows.FieldAsString(0);
            if (!IsGuidId(id))
                continue;   // never a path from a name that is not ours
            for (const char* extension : {".mcf", ".mcfz"}) {
                const fs::path file = aMailsPath / (id + extension);
                std::error_code ec;
                if (fs::exists(fs::symlink_status(file, ec)) && !fs::remove(file, ec))
                    throw Exception("不能删除邮件文件 " + file.string() + ": " + ec.message());
            }
        }
        aDb.ExecSQL("delete from [MailComplexFile] where ([Deleted] <> 0)");
    });
}

int TSqliteDbMail::SweepMailFiles(TSQLiteDatabase& aDb, const fs::path& aMailsPath)
{
    std::error_code ec;
    if (!fs::is_directory(aMailsPath, ec))
        return 0;
    DeleteMailComplex(aDb, aMailsPath);
    // Read every name first: a query that fails throws before any file goes.
    std::set<std::string> named;
    for (TSQLiteUniTable rows(aDb, "select [Id] from [MailComplexFile]"); !rows.Eof(); rows.Next()) {
        const std::string id = rows.FieldAsString(0);
        named.insert(id + ".mcf");
        named.insert(id + ".mcfz");
    }
    int removed = 0;
    fs::directory_iterator it(aMailsPath, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path file = it->path();
        std::error_code statusError;
        const auto status = fs::symlink_status(file, statusError);
        if (statusError || fs::is_directory(status) || named.count(file.filename().string()))
            continue;
        std::error_code removeError;
        if (fs::remove(file, removeError))
            ++removed;
        else
            TLog::O(lolWorn, "不能删除邮件文件 %s：%s", {file.string(), removeError.message()});
    }
    if (ec)
        TLog::O(lolWorn, "不能读取邮件文件夹 %s：%s", {aMailsPath.string(), ec.message()});
    return removed;
}

TRcMailComplex* TSqliteDbMail::LoadMailComplex(TSQLiteDatabase& aDb, const fs::path& aMailsPath, const std::string& aId,
                                               bool aDisplayPage)
{
    // A save on another thread may replace the complex between reading its
    // rows and copying its files (and sweep the old files): read again.
    for (int attempt = 1;; ++attempt) {
        const auto stored = ReadStoredComplex(aDb, aId);
        if (!stored)
            return nullptr;
        TRcMailComplex* complex = TRcMailComplex::CreateAndAutoRelease();
        if (ExtractStoredComplex(*stored, aMailsPath, *complex))
            return FinishLoadedComplex(*complex, stored->Promot, aDisplayPage);
        if (attempt == 3)
            throw Exception("邮件的文件不存在：" + aId);
    }
}
