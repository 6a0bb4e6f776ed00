// Inside the skin layer: the toolkit side of plugins, skins and forms.
// Only the skin layer's own sources include this header; screens see the
// toolkit-free façade (DuPlugin.h, DuSkin.h, DuWindow.h, DuForm.h).
#pragma once

#include "DuForm.h"
#include "DuPlugin.h"

#include <QDialog>
#include <QDomDocument>
#include <QFont>
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QUiLoader>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

struct duPlugin::TRef {
    QPointer<QObject> Object;
};

struct TDuPluginAccess {
    static duPlugin Make(QObject* aObject);
    static QObject* Object(const duPlugin& aPlugin) { return aPlugin.FRef ? aPlugin.FRef->Object.data() : nullptr; }
    static QWidget* Widget(const duPlugin& aPlugin) { return qobject_cast<QWidget*>(Object(aPlugin)); }
};

inline QString ToQ(const std::string& aText)
{
    return QString::fromUtf8(aText.data(), static_cast<qsizetype>(aText.size()));
}
inline std::string FromQ(const QString& aText)
{
    return aText.toStdString();
}

// Plugins are the named widgets and actions; the toolkit's own parts (no
// name, or a name beginning "qt_") are looked through.
bool IsPluginObject(const QObject* aObject);
QObject* PluginParent(const QObject* aObject);
std::vector<QObject*> PluginChildren(const QObject* aObject);
// The layout (at any depth under the parent's own) that holds aWidget.
class QLayout;
QLayout* LayoutHolding(QWidget* aWidget);

// Skin definitions.
struct TDuStyleDef {
    QString Name;
    QString Font;
    int Size = 0;   // pixels
    bool Bold = false, Italic = false, Underline = false;
    QString Color, Background;
    QString Image;   // an image name, drawn stretched
    QString Fragment;   // style-sheet declarations (or whole rules when it has braces)
};

struct TDuMenuDef {
    enum TKind { mkItem, mkSeparator, mkMenu };
    TKind Kind = mkItem;
    QString Name, Text, Image;
    std::vector<TDuMenuDef> Items;
};

struct TDuWindowDef {
    QString Name;
    QString File;
    bool Parsed = false;
    QByteArray Ui;
    QDomDocument Dom;
    QRect Geometry;   // of the root element, as the file gives it
    QHash<QString, QDomElement> Elements;   // widget elements by name
    QHash<QString, QByteArray> Templates;   // a widget element alone, as a .ui document
};

// The loaded skin. One per process while an application object lives.
class TDuSkin {
public:
    // The loaded skin, loading it first; the errors of TDuWindowManager::Load.
    static TDuSkin& Get();
    static TDuSkin* Loaded();

    explicit TDuSkin(QString aFolder);
    ~TDuSkin();

    const QString& Folder() const { return FFolder; }
    QString MessageFile() const { return FMessageFile; }

    const TDuWindowDef* Window(const QString& aName);   // parsed on first use; nullptr when unknown
    bool HasWindow(const QString& aName) const { return FWindows.count(aName) > 0; }
    std::vector<std::string> WindowNames() const;
    const TDuMenuDef* Menu(const QString& aName) const;
    std::vector<std::string> MenuItemNames() const;
    // The popup menu whose tree has an element of that name (empty if none).
    QString MenuHolding(const QString& aName) const;

    // A window definition's root element, made a child of aParent.
    QWidget* LoadWindow(const TDuWindowDef& aDef, QWidget* aParent);
    // A fresh instance of one widget element of a window definition.
    QWidget* LoadElement(const QString& aWindow, const QString& aElement, QWidget* aParent);

    const TDuStyleDef* Style(const QString& aName) const;
    void AddStyle(TDuStyleDef aStyle);
    QFont StyleFont(const QString& aName) const;
    // Rules for every style: elements carry their style in the property
    // duStyle, which the rules select on.
    const QString& StyleSheet() const { return FStyleSheet; }
    // Windows whose style sheet follows the skin's styles.
    void AddHost(QWidget* aHost);

    QPixmap Image(const QString& aName);
    bool HasImage(const QString& aName) const { return FImageFiles.contains(aName) || FImages.contains(aName); }
    void AddImage(const QString& aName, const QPixmap& aPixmap, const QString& aFile);
    QString ImageFile(const QString& aName) const { return FImageFiles.value(aName); }

    // Draws an element's image stretched under whatever it paints itself.
    QObject* ImageLayer() const { return FImageLayer.get(); }
    // The selected row of each list view.
    QHash<const QObject*, QPointer<QObject>>& ListSelection() { return FListSelection; }

private:
    void ReadConfig();
    void RebuildStyleSheet();

    QString FFolder;
    QString FMessageFile;
    std::map<QString, TDuWindowDef> FWindows;
    std::map<QString, TDuMenuDef> FMenus;
    std::map<QString, TDuStyleDef> FStyles;
    QHash<QString, QString> FImageFiles;
    QHash<QString, QPixmap> FImages;
    QString FStyleSheet;
    std::vector<QPointer<QWidget>> FHosts;
    std::unique_ptr<QObject> FImageLayer;
    QHash<const QObject*, QPointer<QObject>> FListSelection;
    std::unique_ptr<QUiLoader> FLoader;
};

// The top-level window of a form: a dialog, so that any form can be shown
// modally; a close by the window's own means ends with the form's close
// result.
class TFormHost : public QDialog {
public:
    explicit TFormHost(TUiForm* aForm) : FForm(aForm) {}
    void reject() override;
    void SetOnCloseRequest(std::function<bool()> aProc) { FOnCloseRequest = std::move(aProc); }

protected:
    void closeEvent(QCloseEvent* aEvent) override;

private:
    TUiForm* FForm;
    std::function<bool()> FOnCloseRequest;
};

struct TUiFormPrivate {
    std::unique_ptr<TFormHost> Host;
    std::unique_ptr<QObject> Waker;   // lives on the GUI thread; queued calls land on it
    static int CloseResultOf(const TUiForm& aForm) { return aForm.CloseResult(); }
};

struct TUiFormAccess {
    static QWidget* Host(TUiForm& aForm) { return aForm.d->Host.get(); }
};

// Shows or hides an element; the layouts above a shown element are laid
// out when the event loop next runs, not at once.
void DuSetVisible(QWidget* aWidget, bool aVisible);

// Sets the image of an element by its kind: a label shows it, a button or
// menu item takes it as its icon, any other element draws it stretched.
void DuApplyImage(QObject* aObject, const QString& aImage);
