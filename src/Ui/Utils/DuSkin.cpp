#include "DuInternal.h"
#include "DuSkin.h"

#include "Runtime/Errors.h"
#include "Runtime/Log.h"
#include "Runtime/ProgramPaths.h"
#include "Runtime/TextFormat.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFontMetrics>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>
#include <optional>

namespace {

constexpr const char* kSkinFileMissing = "皮肤文件(%s) 不存在";
constexpr const char* kNotInitialised = "Direct UI 窗体管理器没有初始化";

std::optional<std::filesystem::path> gSkinFolder;
std::unique_ptr<TDuSkin> gSkin;
bool gPostRoutineAdded = false;

// The skin holds pixmaps and widgets' event filters: it must go while the
// application object still exists.
void UnloadAtApplicationEnd()
{
    gSkin.reset();
    gPostRoutineAdded = false;
}

class TImageLayer : public QObject {
public:
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override
    {
        if (aEvent->type() != QEvent::Paint)
            return false;
        auto* widget = qobject_cast<QWidget*>(aWatched);
        TDuSkin* skin = TDuSkin::Loaded();
        if (!widget || !skin)
            return false;
        const QPixmap pixmap = skin->Image(widget->property("duImage").toString());
        if (!pixmap.isNull()) {
            QPainter painter(widget);
            painter.drawPixmap(widget->rect(), pixmap);
        }
        return false;
    }
};

QString Attr(const QDomElement& aElement, const char* aName)
{
    return aElement.attribute(QString::fromLatin1(aName));
}

bool BoolAttr(const QDomElement& aElement, const char* aName)
{
    const QString value = Attr(aElement, aName).trimmed().toLower();
    return value == QLatin1String("true") || value == QLatin1String("1");
}

TDuMenuDef ReadMenu(const QDomElement& aElement)
{
    TDuMenuDef menu;
    menu.Kind = TDuMenuDef::mkMenu;
    menu.Name = Attr(aElement, "name");
    menu.Text = Attr(aElement, "text");
    menu.Image = Attr(aElement, "image");
    for (QDomElement e = aElement.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.tagName() == QLatin1String("item")) {
            TDuMenuDef item;
            item.Name = Attr(e, "name");
            item.Text = Attr(e, "text");
            item.Image = Attr(e, "image");
            menu.Items.push_back(std::move(item));
        } else if (e.tagName() == QLatin1String("separator")) {
            TDuMenuDef separator;
            separator.Kind = TDuMenuDef::mkSeparator;
            menu.Items.push_back(std::move(separator));
        } else if (e.tagName() == QLatin1String("menu")) {
            menu.Items.push_back(ReadMenu(e));
        }
    }
    return menu;
}

void CollectItemNames(const TDuMenuDef& aMenu, std::vector<std::string>& aOut)
{
    if (!aMenu.Name.isEmpty())
        aOut.push_back(FromQ(aMenu.Name));
    for (const TDuMenuDef& item : aMenu.Items)
        CollectItemNames(item, aOut);
}

QString CssString(const QString& aText)
{
    QString escaped = aText;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

// ---- loading ---------------------------------------------------------------

TDuSkin* TDuSkin::Loaded()
{
    return gSkin.get();
}

TDuSkin& TDuSkin::Get()
{
    if (gSkin)
        return *gSkin;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw Exception(kNotInitialised);
    const std::filesystem::path folder = TDuWindowManager::SkinFolder();
    const std::filesystem::path config = folder / TDuWindowManager::kConfigFileName;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(config, ec))
        throw Exception(FormatText(kSkinFileMissing, {config.string()}));
    try {
        gSkin = std::make_unique<TDuSkin>(QString::fromStdString(folder.string()));
    } catch (const std::exception& e) {
        TLog::O(lolError, "皮肤读取失败：%s", {e.what()});
        throw Exception(kNotInitialised);
    }
    if (!gPostRoutineAdded) {
        qAddPostRoutine(UnloadAtApplicationEnd);
        gPostRoutineAdded = true;
    }
    return *gSkin;
}

TDuSkin::TDuSkin(QString aFolder) : FFolder(std::move(aFolder)), FImageLayer(std::make_unique<TImageLayer>())
{
    ReadConfig();
    FLoader = std::make_unique<QUiLoader>();
    // Only the toolkit's own widgets: no designer plug-ins are searched.
    FLoader->clearPluginPaths();
    FLoader->setTranslationEnabled(false);
    RebuildStyleSheet();
}

TDuSkin::~TDuSkin() = default;

void TDuSkin::ReadConfig()
{
    QFile file(FFolder + QLatin1String("/") + QLatin1String(TDuWindowManager::kConfigFileName));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(FromQ(file.errorString()));
    QDomDocument dom;
    QString error;
    int line = 0, column = 0;
    if (!dom.setContent(&file, &error, &line, &column))
        throw Exception(FormatText("config.xml %d:%d %s", {line, column, FromQ(error)}));
    const QDomElement root = dom.documentElement();
    if (root.tagName() != QLatin1String("skin"))
        throw Exception("config.xml: the root element is not <skin>");
    for (QDomElement section = root.firstChildElement(); !section.isNull(); section = section.nextSiblingElement()) {
        const QString tag = section.tagName();
        if (tag == QLatin1String("messages")) {
            const QString name = Attr(section, "file");
            if (!name.isEmpty())
                FMessageFile = FFolder + QLatin1String("/") + name;
        } else if (tag == QLatin1String("images")) {
            for (QDomElement e = section.firstChildElement(QStringLiteral("image")); !e.isNull();
                 e = e.nextSiblingElement(QStringLiteral("image")))
                FImageFiles.insert(Attr(e, "name"), FFolder + QLatin1String("/") + Attr(e, "file"));
        } else if (tag == QLatin1String("styles")) {
            for (QDomElement e = section.firstChildElement(QStringLiteral("style")); !e.isNull();
                 e = e.nextSiblingElement(QStringLiteral("style"))) {
                TDuStyleDef style;
                style.Name = Attr(e, "name");
                style.Font = Attr(e, "font");
                style.Size = Attr(e, "size").toInt();
                style.Bold = BoolAttr(e, "bold");
                style.Italic = BoolAttr(e, "italic");
                style.Underline = BoolAttr(e, "underline");
                style.Color = Attr(e, "color");
                style.Background = Attr(e, "background");
                style.Image = Attr(e, "image");
                style.Fragment = e.text().trimmed();
                FStyles[style.Name] = std::move(style);
            }
        } else if (tag == QLatin1String("windows")) {
            for (QDomElement e = section.firstChildElement(QStringLiteral("window")); !e.isNull();
                 e = e.nextSiblingElement(QStringLiteral("window"))) {
                TDuWindowDef def;
                def.Name = Attr(e, "name");
                def.File = FFolder + QLatin1String("/") + Attr(e, "file");
                FWindows[def.Name] = std::move(def);
            }
        } else if (tag == QLatin1String("menus")) {
            for (QDomElement e = section.firstChildElement(QStringLiteral("menu")); !e.isNull();
                 e = e.nextSiblingElement(QStringLiteral("menu"))) {
                TDuMenuDef menu = ReadMenu(e);
                FMenus[menu.Name] = std::move(menu);
            }
        }
    }
}

const TDuWindowDef* TDuSkin::Window(const QString& aName)
{
    auto it = FWindows.find(aName);
    if (it == FWindows.end())
        return nullptr;
    TDuWindowDef& def = it->second;
    if (def.Parsed)
        return &def;
    QFile file(def.File);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(FormatText(kSkinFileMissing, {FromQ(def.File)}));
    def.Ui = file.readAll();
    QString error;
    int line = 0, column = 0;
    if (!def.Dom.setContent(def.Ui, &error, &line, &column))
        throw Exception(FormatText("%s %d:%d %s", {FromQ(def.File), line, column, FromQ(error)}));
    const QDomElement rootWidget = def.Dom.documentElement().firstChildElement(QStringLiteral("widget"));
    for (QDomElement p = rootWidget.firstChildElement(QStringLiteral("property")); !p.isNull();
         p = p.nextSiblingElement(QStringLiteral("property")))
        if (Attr(p, "name") == QLatin1String("geometry")) {
            const QDomElement rect = p.firstChildElement(QStringLiteral("rect"));
            auto value = [&rect](const char* aTag) { return rect.firstChildElement(QLatin1String(aTag)).text().toInt(); };
            def.Geometry = QRect(value("x"), value("y"), value("width"), value("height"));
        }
    const QDomNodeList widgets = def.Dom.elementsByTagName(QStringLiteral("widget"));
    for (int i = 0; i < widgets.count(); ++i) {
        const QDomElement e = widgets.at(i).toElement();
        def.Elements.insert(Attr(e, "name"), e);
    }
    def.Parsed = true;
    return &def;
}

std::vector<std::string> TDuSkin::WindowNames() const
{
    std::vector<std::string> names;
    for (const auto& [name, def] : FWindows)
        names.push_back(FromQ(name));
    return names;
}

const TDuMenuDef* TDuSkin::Menu(const QString& aName) const
{
    auto it = FMenus.find(aName);
    return it == FMenus.end() ? nullptr : &it->second;
}

std::vector<std::string> TDuSkin::MenuItemNames() const
{
    std::vector<std::string> names;
    for (const auto& [name, menu] : FMenus)
        CollectItemNames(menu, names);
    return names;
}

QString TDuSkin::MenuHolding(const QString& aName) const
{
    for (const auto& [name, menu] : FMenus) {
        std::vector<std::string> names;
        CollectItemNames(menu, names);
        if (std::find(names.begin(), names.end(), FromQ(aName)) != names.end())
            return name;
    }
    return {};
}

QWidget* TDuSkin::LoadWindow(const TDuWindowDef& aDef, QWidget* aParent)
{
    QBuffer buffer;
    buffer.setData(aDef.Ui);
    buffer.open(QIODevice::ReadOnly);
    QWidget* root = FLoader->load(&buffer, aParent);
    if (!root)
        throw Exception(FormatText("%s: %s", {FromQ(aDef.File), FromQ(FLoader->errorString())}));
    root->setObjectName(aDef.Name);
    return root;
}

QWidget* TDuSkin::LoadElement(const QString& aWindow, const QString& aElement, QWidget* aParent)
{
    auto it = FWindows.find(aWindow);
    if (it == FWindows.end() || !it->second.Parsed)
        return nullptr;
    TDuWindowDef& def = it->second;
    auto cached = def.Templates.find(aElement);
    if (cached == def.Templates.end()) {
        const QDomElement element = def.Elements.value(aElement);
        if (element.isNull())
            return nullptr;
        // The element alone as a document of its own; custom widget
        // declarations come along.
        QDomDocument doc;
        QDomElement ui = doc.createElement(QStringLiteral("ui"));
        ui.setAttribute(QStringLiteral("version"), QStringLiteral("4.0"));
        doc.appendChild(ui);
        ui.appendChild(doc.importNode(element, true));
        const QDomElement custom = def.Dom.documentElement().firstChildElement(QStringLiteral("customwidgets"));
        if (!custom.isNull())
            ui.appendChild(doc.importNode(custom, true));
        cached = def.Templates.insert(aElement, doc.toByteArray(-1));
    }
    QBuffer buffer;
    buffer.setData(*cached);
    buffer.open(QIODevice::ReadOnly);
    return FLoader->load(&buffer, aParent);
}

// ---- styles and images -------------------------------------------------------

const TDuStyleDef* TDuSkin::Style(const QString& aName) const
{
    auto it = FStyles.find(aName);
    return it == FStyles.end() ? nullptr : &it->second;
}

void TDuSkin::AddStyle(TDuStyleDef aStyle)
{
    const QString name = aStyle.Name;
    FStyles[name] = std::move(aStyle);
    RebuildStyleSheet();
}

QFont TDuSkin::StyleFont(const QString& aName) const
{
    QFont font = QApplication::font();
    if (const TDuStyleDef* style = Style(aName)) {
        if (!style->Font.isEmpty())
            font.setFamilies({style->Font});
        if (style->Size > 0)
            font.setPixelSize(style->Size);
        font.setBold(style->Bold);
        font.setItalic(style->Italic);
        font.setUnderline(style->Underline);
    }
    return font;
}

void TDuSkin::RebuildStyleSheet()
{
    QString sheet;
    for (const auto& [name, style] : FStyles) {
        QString block;
        if (!style.Font.isEmpty())
            block += QStringLiteral("font-family: %1; ").arg(CssString(style.Font));
        if (style.Size > 0)
            block += QStringLiteral("font-size: %1px; ").arg(style.Size);
        if (style.Bold)
            block += QStringLiteral("font-weight: bold; ");
        if (style.Italic)
            block += QStringLiteral("font-style: italic; ");
        if (style.Underline)
            block += QStringLiteral("text-decoration: underline; ");
        if (!style.Color.isEmpty())
            block += QStringLiteral("color: %1; ").arg(style.Color);
        if (!style.Background.isEmpty())
            block += QStringLiteral("background-color: %1; ").arg(style.Background);
        const QString imageFile = style.Image.isEmpty() ? QString() : ImageFile(style.Image);
        if (!imageFile.isEmpty())
            block += QStringLiteral("border-image: url(%1) 0 0 0 0 stretch stretch; ").arg(CssString(imageFile));
        const bool wholeRules = style.Fragment.contains(QLatin1Char('{'));
        if (!wholeRules)
            block += style.Fragment;
        sheet += QStringLiteral("*[duStyle=%1] { %2 }\n").arg(CssString(name), block);
        if (wholeRules)
            sheet += style.Fragment + QLatin1Char('\n');
    }
    FStyleSheet = sheet;
    std::erase_if(FHosts, [](const QPointer<QWidget>& aHost) { return aHost.isNull(); });
    for (const QPointer<QWidget>& host : FHosts)
        host->setStyleSheet(FStyleSheet);
}

void TDuSkin::AddHost(QWidget* aHost)
{
    aHost->setStyleSheet(FStyleSheet);
    FHosts.emplace_back(aHost);
}

QPixmap TDuSkin::Image(const QString& aName)
{
    if (aName.isEmpty())
        return {};
    auto it = FImages.find(aName);
    if (it != FImages.end())
        return *it;
    const QString file = FImageFiles.value(aName);
    QPixmap pixmap;
    if (!file.isEmpty() && !pixmap.load(file))
        TLog::O(lolWorn, "皮肤图片(%s) 不能读取：%s", {FromQ(aName), FromQ(file)});
    if (!pixmap.isNull())
        FImages.insert(aName, pixmap);
    return pixmap;
}

void TDuSkin::AddImage(const QString& aName, const QPixmap& aPixmap, const QString& aFile)
{
    FImages.insert(aName, aPixmap);
    if (!aFile.isEmpty())
        FImageFiles.insert(aName, aFile);
    else
        FImageFiles.remove(aName);
}

// ---- the façade ------------------------------------------------------------

void TDuWindowManager::SetSkinFolder(const std::filesystem::path& aFolder)
{
    gSkinFolder = aFolder;
    Unload();
}

std::filesystem::path TDuWindowManager::SkinFolder()
{
    return gSkinFolder ? *gSkinFolder : ProgramFolder() / "skin";
}

void TDuWindowManager::Load()
{
    TDuSkin::Get();
}

void TDuWindowManager::Unload()
{
    gSkin.reset();
}

bool TDuWindowManager::HasWindow(const std::string& aWinName)
{
    return TDuSkin::Get().HasWindow(ToQ(aWinName));
}

std::vector<std::string> TDuWindowManager::WindowNames()
{
    return TDuSkin::Get().WindowNames();
}

bool TDuWindowManager::HasMenu(const std::string& aMenuName)
{
    return TDuSkin::Get().Menu(ToQ(aMenuName)) != nullptr;
}

std::vector<std::string> TDuWindowManager::MenuItemNames()
{
    return TDuSkin::Get().MenuItemNames();
}

std::filesystem::path TDuWindowManager::MessageFile()
{
    return FromQ(TDuSkin::Get().MessageFile());
}

bool TDuResManager::HasStyle(const std::string& aStyle)
{
    return TDuSkin::Get().Style(ToQ(aStyle)) != nullptr;
}

bool TDuResManager::HasImage(const std::string& aImage)
{
    return TDuSkin::Get().HasImage(ToQ(aImage));
}

bool TDuResManager::CreateImageFromFile(const std::string& aName, const std::filesystem::path& aFile)
{
    TDuSkin& skin = TDuSkin::Get();
    const QString file = QString::fromStdString(aFile.string());
    QPixmap pixmap;
    if (!pixmap.load(file))
        return false;
    skin.AddImage(ToQ(aName), pixmap, file);
    return true;
}

bool TDuResManager::CreateImageStyle(const std::string& aStyle, const std::string& aImage)
{
    TDuSkin& skin = TDuSkin::Get();
    if (!skin.HasImage(ToQ(aImage)))
        return false;
    TDuStyleDef style;
    style.Name = ToQ(aStyle);
    style.Image = ToQ(aImage);
    skin.AddStyle(std::move(style));
    return true;
}

int TDuResManager::GetTextWidth(const std::string& aStyle, const std::string& aText)
{
    return QFontMetrics(TDuSkin::Get().StyleFont(ToQ(aStyle))).horizontalAdvance(ToQ(aText));
}
