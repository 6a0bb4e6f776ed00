// Every database file the program keeps, table by table, exactly as it is
// created. The create statements are byte-for-byte those that earlier
// versions wrote, so files move freely between versions: compare them with
// a plain search, one statement per line.
#pragma once

namespace schema {

// Accounts/Accounts.db
inline constexpr const char* kAccount = "create table [Account] ([id] text primary key, [Order] integer, [Delete] Integer default 0)";
inline constexpr const char* kUserConfig = "create table [UserConfig] (    [Key] text primary key  , [Value] String)";
inline constexpr const char* kSecretary = "create table [Secretary] (    [Id] text primary key  , [SecretaryName] String  , [SecretaryEmail] String  , [CreateTime] real)";

// Accounts/{account id}/Account.db
inline constexpr const char* kInfo = "create table [Info] (    [Field] text primary key  , [Value])";
inline constexpr const char* kMail = "create table [Mail] (    [Id] text primary key  , [Type] integer  , [SorceResId] text  , [SorceType] integer  , [SeenFlag] integer  , [SourceLanguage] integer  , [TargetLanguage] integer  , [SendReciveState] integer  , [Uid] text  , [MessageId] text  , [From] text  , [To] text  , [Subject] text  , [Date] real  , [HasAttachmentFlag] integer  , [Size] integer   , [NorvelUid] text   , [QunFaFlag] Varchar(2)   , [References] Boolean   , [ReceiptSend] Boolean   , [MailSummary] text   , [reTranslation] varchar(2)   , [UserSecretary] Boolean    , [Secretaryer] text   , [SecretaryFlag] varchar(2)   , [SecretaryedType] varchar(2)   , [SecretaryMemo] text)";
// Ours: a folder's newest mails without sorting the folder (the mail
// list's first screen).
inline constexpr const char* kMailTypeDateIndex = "create index [Mail_Index_TypeDate] ON [Mail]([Type], [Date] desc)";
inline constexpr const char* kMailIndexes[] = {
    "create index [Mail_Index_Type] ON [Mail]([Type])",
    "create index [Mail_Index_Date] ON [Mail]([Date] desc)",
    "create index [Mail_Index_Uid] ON [Mail]([Uid])",
    "create index [Mail_Index_SeenFlag] ON [Mail]([SeenFlag])",
    "create index [Mail_Index_Subject] ON [Mail]([Subject])",
    "create index [Mail_Index_Size] ON [Mail]([Size])",
    "create index [Mail_Index_SendReciveState] ON [Mail]([SendReciveState])",
    "create index [Mail_Index_MessageId] ON [Mail]([MessageId])",
    kMailTypeDateIndex,
};
inline constexpr const char* kSign = "Create table [Sign] ([Id] text primary key , [SignName] text)";
inline constexpr const char* kAddresBookGroup = "create table [AddresBookGroup] (    [Id] text primary key  , [Name] text  , [Createtime] real)";
inline constexpr const char* kAddresBook = "create table [AddresBook] (    [Id] text primary key  , [GroupId] text  , [LastName] text  , [FirstName] text  , [Company] text  , [Department] text  , [Office] text  , [NickName] text  , [Email] text  , [CompanyWeb] text  , [CompanyTel] text  , [PrivateTel] text  , [Fax] text  , [CompanyAddr] text  , [ZipCode] text  , [CountriesRegions] text  , [Languages] text  , [ProductCategory] text  , [CustomerLevel] text  , [NameCard] blob  , [Memo] text  , [HeadIcon] text  , [QQ] text  , [Birthday] text  , [Relation] text  , [CreateTime] real  , [ModifiedTime] real)";
// Ours: the address book's duplicate check and the address boxes'
// suggestions (a prefix of the address, or of last name then first name)
// are range scans, and a group lists its contacts without a full scan.
inline constexpr const char* kAddresBookIndexes[] = {
    "create index [AddresBook_Index_Email] ON [AddresBook]([Email], [CreateTime])",
    "create index [AddresBook_Index_Name] ON [AddresBook]([LastName], [FirstName], [CreateTime])",
    "create index [AddresBook_Index_GroupId] ON [AddresBook]([GroupId], [CreateTime])",
};
inline constexpr const char* kNameList = "create table [NameList] (    [Id] text primary key  , [UserID] String  , [Name] String  , [EmailAddr] String  , [Type] String)";
inline constexpr const char* kMailFilter = "create table [MailFilter] (    [Id] text primary key  , [Filter] String)";
inline constexpr const char* kMailComplex = "create table [MailComplex] (    [Id] text primary key  , [Deleted] integer  , [Promot] Boolean)";
inline constexpr const char* kMailComplexFile = "create table [MailComplexFile] (    [Id] text primary key  , [ComplexId] text  , [Deleted] integer  , [Type] integer  , [SortNumber] integer  , [Valid] integer  , [ContentId] text  , [FileName] text  , [NeedTranslate] integer)";
inline constexpr const char* kMailComplexFileIndexes[] = {
    "create index [MailComplexFile_Index_ComplexId] ON [MailComplexFile]([ComplexId])",
    "create index [MailComplexFile_Index_Deleted] ON [MailComplexFile]([Deleted])",
};
inline constexpr const char* kMailHeader = "create table [MailHeader]( [uid] text primary key, [Data] real, [FromAddress] string, [Subject] string)";
inline constexpr const char* kConversation = "create table [Conversation] (    [Id] text primary key  , [Subject] String  , [ConversationType] String  , [LastMailDate] real  , [CreateTime] real  , [ModifyTime] real  , [DeleteFlage] Boolean)";
inline constexpr const char* kConversationItem = "create table [ConversationItem] (    [Id] text primary key  , [Conversationid] String  , [EmailId] String  , [ItemsType] String  , [MailDate] real  , [CreateTime] real  , [ModifyTime] real  , [DeleteFlage] Boolean)";
inline constexpr const char* kPromoteTemplate = "create table [promoteTemplate] (    [Id] text primary key  , [Name] text  , [PromotionContent] text  , [DeleteFlag] Boolean  , [CreateTime] real  , [ModifyTime] real  , [DeleteTime] real)";
inline constexpr const char* kPromoteTemplateItem = "create table [promoteTemplateitem] (    [Id] text primary key  , [serialNumber] integer  , [promoteTemplateId] text  , [productid] text  , [DeleteFlag] Boolean  , [CreateTime] real  , [ModifiedTime] real  , [DeleteTime] real)";
inline constexpr const char* kPromoteTemplateItemImage = "create table [promoteTemplateitemImage] (    [Id] text primary key  , [serialNumber] integer  , [promoteTemplateItemId] text  , [productImageid] text  , [CreateTime] real  , [ModifiedTime] real  , [DeleteTime] real)";
inline constexpr const char* kConversationIndexes[] = {
    "create index [Conversation_Index_ConversationType] ON [Conversation]([ConversationType])",
};
inline constexpr const char* kConversationItemIndexes[] = {
    "create index [Conversation_Index_ConversationId] ON [ConversationItem]([Conversationid])",
};
// The conversation index's own lookups, kept current as mails come and go:
// which conversations hold a mail (asked for every mail stored, and the
// user's own conversation holds every mail), and a conversation's items
// newest first (to find the sender's newest remaining mail after one is
// deleted for good without reading the whole conversation).
inline constexpr const char* kConversationItemLookupIndexes[] = {
    "create index [ConversationItem_Index_EmailId] ON [ConversationItem]([EmailId])",
    "create index [ConversationItem_Index_ConversationDate] ON [ConversationItem]([Conversationid], [MailDate] desc)",
};
// Every address each indexed mail names (From and To, lower-cased): a new
// correspondent's earlier mails are then found by his address, not by
// reading every mail's To text.
inline constexpr const char* kConversationAddress = "create table [ConversationAddress] (    [Address] text  , [EmailId] text  , primary key ([Address], [EmailId])) without rowid";
inline constexpr const char* kConversationAddressIndexes[] = {
    "create index [ConversationAddress_Index_EmailId] ON [ConversationAddress]([EmailId])",
};
inline constexpr const char* kPromoteTemplateItemIndexes[] = {
    "create index [promoteTemplateItem_index_promoteTemplateId] ON [promoteTemplateItem]([promoteTemplateId])",
    "create index [promoteTemplateItem_index_productid] ON [promoteTemplateItem]([productid])",
    "create index [promoteTemplateItem_index_serialNumber] ON [promoteTemplateItem]([serialNumber])",
    "create index [promoteTemplateItem_index_CreateTime] ON [promoteTemplateItem]([CreateTime])",
    "create index [promoteTemplateItem_index_DeleteFlag] ON [promoteTemplateItem]([DeleteFlag])",
};
inline constexpr const char* kPromoteTemplateItemImageIndexes[] = {
    "create index [promoteTemplateItemImage_index_promoteTemplateItemId] ON [promoteTemplateItemImage]([promoteTemplateItemId])",
    "create index [promoteTemplateItemImage_index_productImageid] ON [promoteTemplateItemImage]([productImageid])",
    "create index [promoteTemplateItemImage_index_serialNumber] ON [promoteTemplateItemImage]([serialNumber])",
    "create index [promoteTemplateItemImage_index_CreateTime] ON [promoteTemplateItemImage]([CreateTime])",
};

// Product/Product.db
inline constexpr const char* kProductGroup = "create table [ProductGroup] (    [Id] text primary key  , [Name] text  , [CreateTime] real  , [ModifiedTime] real)";
inline constexpr const char* kProductGroupWithParent = "create table [ProductGroup] (    [Id] text primary key  , [Name] text  , [ParentId] text  , [CreateTime] real  , [ModifiedTime] real)";
inline constexpr const char* kProduct = "create table [Product] (    [Id] text primary key  , [GroupId] text  , [Name] text  , [Model] text  , [Price] real  , [Inventory] real  , [Remarks] text  , [CreateTime] real  , [ModifiedTime] real)";
inline constexpr const char* kProductImage = "create table [ProductImage] (    [Id] text primary key  , [ProductId] text  , [ImageName] text  , [CreateTime] real  , [ModifiedTime] real)";
inline constexpr const char* kProductIndexes[] = {
    "create index [Product_Index_GroupId] ON [Product]([GroupId])",
};
inline constexpr const char* kProductImageIndexes[] = {
    "create index [ProductImage_Index_ProductId] ON [ProductImage]([ProductId])",
};

// Templates/Templates.db and Letter/Letter.db, and their system twins
inline constexpr const char* kTemplate = "create table [Template] (    [Id] text primary key  , [Type] integer  , [Language] integer  , [Name] text  , [PreviewFileName] text  , [IndexFileName] text  , [SystemFlag] integer  , [Order] integer)";
inline constexpr const char* kLetter = "create table [Letter] ([Id] text  primary key,[Type] Integer,[Name] text,[FileName] text,[Order] integer)";

inline constexpr int kUserVersion = 1;

} // namespace schema
