// The routes of the maker's translation service; the protocol is
// described in TranslationRoutes.h.
#include "TranslationRoutes.h"

#include "FakeMakerServer.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>

namespace {

constexpr const char* kServerError = "TavroServerError";

// The submission's fields, in the order the client sends them.
const char* const kSubmitFields[] = {"email_title", "source_language", "target_language", "client_type",
                                     "user_email",  "user_email",      "to_email",        "cc_email",
                                     "bcc_email",   "nassoneshow",     "message_id",      "mail_info"};

std::string ReadFile(const std::filesystem::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

nlohmann::json Refusal(const std::string& aInfo)
{
    return {{"result", "0"}, {"info", aInfo}};
}

std::string TextMember(const nlohmann::json& aObject, const char* aName)
{
    const auto it = aObject.find(aName);
    if (it == aObject.end() || it->is_null())
        return {};
    if (!it->is_string())
        throw std::invalid_argument(std::string("not a text: ") + aName);
    return it->get<std::string>();
}

int IntMember(const nlohmann::json& aObject, const char* aName)
{
    const auto it = aObject.find(aName);
    if (it == aObject.end() || it->is_null())
        return 0;
    if (!it->is_number_integer())
        throw std::invalid_argument(std::string("not an integer: ") + aName);
    return it->get<int>();
}

} // namespace

nlohmann::json TFakeTranslationEntry::ToJson() const
{
    return {{"mail_id", MailId},
            {"mailurl", MailUrl},
            {"mail_uid", MailUid},
            {"send_type", SendType},
            {"sourceurl", SourceUrl},
            {"source_language", SourceLanguage},
            {"translate_id", TranslateId},
            {"title", Title}};
}

std::string TFakeTranslationService::Key(const std::string& aAccount)
{
    std::string key = aAccount;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    return key;
}

void TFakeTranslationService::Queue(const std::string& aAccount, TFakeTranslationEntry aEntry)
{
    std::lock_guard lock(FMutex);
    FWaiting[Key(aAccount)].push_back(std::move(aEntry));
}

std::vector<TFakeTranslationEntry> TFakeTranslationService::Waiting(const std::string& aAccount) const
{
    std::lock_guard lock(FMutex);
    const auto it = FWaiting.find(Key(aAccount));
    return it == FWaiting.end() ? std::vector<TFakeTranslationEntry>{} : it->second;
}

std::string TFakeTranslationService::StoreMail(const std::string& aMessage, const std::string& aName)
{
    return FServer.DownloadUrl(FServer.StoreFile(aMessage), aName);
}

void TFakeTranslationService::Refuse(const std::string& aAccount, const std::string& aInfoKey)
{
    std::lock_guard lock(FMutex);
    if (aInfoKey.empty())
        FRefused.erase(Key(aAccount));
    else
        FRefused[Key(aAccount)] = aInfoKey;
}

void TFakeTranslationService::SetTranslateSubmitted(bool aOn)
{
    std::lock_guard lock(FMutex);
    FTranslateSubmitted = aOn;
}

void TFakeTranslationService::Reset()
{
    std::lock_guard lock(FMutex);
    FWaiting.clear();
    FRefused.clear();
    FTranslateSubmitted = true;
}

nlohmann::json TFakeTranslationService::Submit(const std::vector<std::pair<std::string, std::string>>& aFields)
{
    const nlohmann::json refused = {{"result", 0}, {"info", kServerError}};
    constexpr std::size_t kCount = std::size(kSubmitFields);
    if (aFields.size() != kCount)
        return refused;
    std::vector<std::string> values;
    for (std::size_t i = 0; i < kCount; ++i) {
        const auto decoded = StrictPercentDecoded(aFields[i].second);
        if (aFields[i].first != kSubmitFields[i] || !decoded)
            return refused;
        values.push_back(*decoded);
    }
    const std::string& title = values[0];
    const std::string& account = values[4];
    const std::string& messageId = values[10];
    const auto info = nlohmann::json::parse(values[11], nullptr, false);
    if (!info.is_object() || !info.contains("guId") || !info["guId"].is_string())
        return refused;
    const std::string guId = info["guId"].get<std::string>();
    // Only an id the store made names a file there.
    const auto stored = FServer.StoredFile(guId);
    int sourceLanguage = 0;
    try {
        sourceLanguage = std::stoi(values[1]);
    } catch (const std::exception&) {
        return refused;
    }
    if (!stored || account.empty() || messageId.empty())
        return refused;

    bool translate = false;
    {
        std::lock_guard lock(FMutex);
        translate = FTranslateSubmitted;
    }
    if (translate) {
        TFakeTranslationEntry entry;
        entry.MailId = messageId;
        entry.MailUrl = StoreMail(FakeMessageWithSubjectPrefix(ReadFile(*stored), kFakeTranslationPrefix));
        entry.MailUid = NewStoreId();
        entry.SendType = 1;
        entry.SourceLanguage = sourceLanguage;
        entry.Title = title;
        Queue(account, std::move(entry));
    }
    return {{"result", 1}, {"info", "ok"}};
}

nlohmann::json TFakeTranslationService::List(const std::string& aAccount) const
{
    std::lock_guard lock(FMutex);
    if (const auto refused = FRefused.find(Key(aAccount)); refused != FRefused.end())
        return Refusal(refused->second);
    auto list = nlohmann::json::array();
    if (const auto it = FWaiting.find(Key(aAccount)); it != FWaiting.end())
        for (const auto& entry : it->second)
            list.push_back(entry.ToJson());
    return {{"result", "1"}, {"info", list}};
}

nlohmann::json TFakeTranslationService::Confirm(const std::string& aMailId, int aSendType)
{
    std::lock_guard lock(FMutex);
    for (auto& [account, entries] : FWaiting) {
        const auto it = std::find_if(entries.begin(), entries.end(), [&](const TFakeTranslationEntry& aEntry) {
            return aEntry.MailId == aMailId && aEntry.SendType == aSendType;
        });
        if (it != entries.end()) {
            entries.erase(it);
            return {{"result", "1"}, {"info", ""}};
        }
    }
    return Refusal("没有这封邮件：" + aMailId);
}

std::string FakeMessageWithSubjectPrefix(const std::string& aMessage, const std::string& aPrefix)
{
    const std::string eol = aMessage.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    // The header block ends at the first empty line.
    std::size_t line = 0;
    while (line < aMessage.size()) {
        const std::size_t end = aMessage.find('\n', line);
        const std::size_t next = end == std::string::npos ? aMessage.size() : end + 1;
        const std::string_view text(aMessage.data() + line, next - line);
        if (text == "\n" || text == "\r\n")
            break;
        if (text.size() >= 8) {
            std::string name(text.substr(0, 8));
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            if (name == "subject:") {
                std::size_t value = line + 8;
                while (value < next && (aMessage[value] == ' ' || aMessage[value] == '\t'))
                    ++value;
                std::string out = aMessage.substr(0, line + 8);
                out.append(" ").append(aPrefix).append(aMessage, value, std::string::npos);
                return out;
            }
        }
        line = next;
    }
    std::string out = "Subject: ";
    out.append(aPrefix).append(eol).append(aMessage);
    return out;
}

void RegisterTranslationRoutes(TFakeMakerServer& aServer)
{
    TFakeMakerServer* server = &aServer;
    const auto field = [](const TFakeRequest& aRequest, const char* aName) {
        return aRequest.Field(aName);
    };

    server->AddRoute("POST", "/mailOprAction!sendMailInfo.action", [server](const TFakeRequest& aRequest) {
        std::vector<std::pair<std::string, std::string>> fields;
        for (const auto& part : aRequest.Parts)
            fields.emplace_back(part.Name, part.Value);
        return TFakeReply::Json(server->Translation().Submit(fields));
    });

    server->AddRoute("POST", "/mailOprAction!receiveMailList.action", [server, field](const TFakeRequest& aRequest) {
        const auto account = field(aRequest, "user_email");
        if (!account || account->empty() || !field(aRequest, "user_password") || !field(aRequest, "start_time") ||
            !field(aRequest, "end_time"))
            return TFakeReply::Json(Refusal(kServerError));
        return TFakeReply::Json(server->Translation().List(*account));
    });

    server->AddRoute("POST", "/mailOprAction!receiveMailReceipt.action", [server, field](const TFakeRequest& aRequest) {
        const auto mailId = field(aRequest, "mail_id");
        const auto sendType = field(aRequest, "send_type");
        int type = 0;
        try {
            type = sendType ? std::stoi(*sendType) : -1;
        } catch (const std::exception&) {
            type = -1;
        }
        if (!mailId || type < 0)
            return TFakeReply::Json(Refusal(kServerError));
        return TFakeReply::Json(server->Translation().Confirm(*mailId, type));
    });

    const auto waiting = [server](const std::string& aAccount) {
        auto list = nlohmann::json::array();
        for (const auto& entry : server->Translation().Waiting(aAccount))
            list.push_back(entry.ToJson());
        return TFakeReply::Json({{"waiting", list}});
    };

    server->AddRoute("POST", "/__admin/translation", [server, waiting](const TFakeRequest& aRequest) {
        const auto json = nlohmann::json::parse(aRequest.Body, nullptr, false);
        if (!json.is_object() || !json.contains("account") || !json["account"].is_string())
            throw std::invalid_argument("expected {\"account\": \"...\", ...}");
        TFakeTranslationService& service = server->Translation();
        const std::string account = json["account"].get<std::string>();
        if (json.contains("translateSubmitted")) {
            if (!json["translateSubmitted"].is_boolean())
                throw std::invalid_argument("translateSubmitted is true or false");
            service.SetTranslateSubmitted(json["translateSubmitted"].get<bool>());
        }
        if (json.contains("refuse"))
            service.Refuse(account, TextMember(json, "refuse"));
        if (json.contains("entries")) {
            if (!json["entries"].is_array())
                throw std::invalid_argument("entries is an array");
            for (const auto& item : json["entries"]) {
                if (!item.is_object())
                    throw std::invalid_argument("an entry is an object");
                TFakeTranslationEntry entry;
                entry.MailId = TextMember(item, "mail_id");
                entry.MailUrl = TextMember(item, "mailurl");
                entry.MailUid = TextMember(item, "mail_uid");
                entry.SendType = IntMember(item, "send_type");
                entry.SourceUrl = TextMember(item, "sourceurl");
                entry.SourceLanguage = IntMember(item, "source_language");
                entry.TranslateId = TextMember(item, "translate_id");
                entry.Title = TextMember(item, "title");
                if (item.contains("mail"))
                    entry.MailUrl = service.StoreMail(TextMember(item, "mail"));
                if (item.contains("source"))
                    entry.SourceUrl = service.StoreMail(TextMember(item, "source"), "source.eml");
                if (!item.contains("mail_uid"))
                    entry.MailUid = NewStoreId();
                service.Queue(account, std::move(entry));
            }
        }
        return waiting(account);
    });

    server->AddRoute("GET", "/__admin/translation", [waiting](const TFakeRequest& aRequest) {
        for (const auto& [name, value] : aRequest.Query)
            if (name == "account")
                return waiting(value);
        throw std::invalid_argument("expected ?account=...");
    });
}
