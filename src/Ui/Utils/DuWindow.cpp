#include "DuWindow.h"

#include "DuInternal.h"
#include "DuSkin.h"

#include "Runtime/Errors.h"
#include "Runtime/GuidId.h"
#include "Runtime/Log.h"
#include "Runtime/Lookup3.h"
#include "Runtime/TextConvert.h"
#include "Runtime/TextFormat.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFileInfo>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>

#include <algorithm>
#include <map>

namespace {

constexpr const char* kPluginMissing = "不能获取插件（%s）";
constexpr const char* kCloneFailed = "克隆插件失败";
constexpr const char* kDuplicateKey = "Duplicates not allowed";

bool HasDynamicProperty(const QObject* aObject, const char* aName)
{
    const QList<QByteArray> names = aObject->dynamicPropertyNames();
    return std::any_of(names.begin(), names.end(), [aName](const QByteArray& n) { return n == aName; });
}

bool IsListView(const QObject* aObject)
{
    return HasDynamicProperty(aObject, "duKind") && aObject->property("duKind").toString() == QLatin1String("listview");
}

// The list view (duKind "listview") that aWidget belongs to, itself included.
QWidget* ListViewOf(QWidget* aWidget)
{
    for (QWidget* w = aWidget; w && !w->isWindow(); w = w->parentWidget())
        if (IsListView(w))
            return w;
    return nullptr;
}

// Rows of a list view are the children of its scroll area's content, or
// of the list view itself.
QWidget* ItemsParentOf(QWidget* aListView)
{
    if (auto* area = qobject_cast<QScrollArea*>(aListView); area && area->widget())
        return area->widget();
    return aListView;
}

QWidget* RowOf(QWidget* aListView, QWidget* aWidget)
{
    QWidget* items = ItemsParentOf(aListView);
    for (QWidget* w = aWidget; w && w != aListView; w = w->parentWidget())
        if (w->parentWidget() == items)
            return w;
    return nullptr;
}

// The plugin-facing edit that owns a viewport (text edits paint and take
// the mouse in a child viewport).
QWidget* EditOfViewport(QObject* aObject)
{
    auto* viewport = qobject_cast<QWidget*>(aObject);
    QWidget* parent = viewport ? viewport->parentWidget() : nullptr;
    if (auto* edit = qobject_cast<QAbstractScrollArea*>(parent); edit && edit->viewport() == viewport)
        return edit;
    return nullptr;
}

// The position of aWidget among aLayout's items, searched from the end.
int IndexInLayout(QLayout* aLayout, QWidget* aWidget)
{
    for (int i = aLayout->count() - 1; i >= 0; --i)
        if (aLayout->itemAt(i)->widget() == aWidget)
            return i;
    return -1;
}

void RenameTree(QWidget* aTop, const QString& aSuffix)
{
    auto rename = [&aSuffix](QObject* aObject) {
        const QString name = aObject->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            return;
        if (aObject->isWidgetType()) {
            // What a clone of this element is made from.
            aObject->setProperty("_du_src", name);
            aObject->setProperty("_du_sfx", aSuffix);
        }
        aObject->setObjectName(name + aSuffix);
    };
    rename(aTop);
    for (QObject* child : aTop->findChildren<QObject*>())
        rename(child);
}

} // namespace

// ---- the toolkit side --------------------------------------------------------

struct TDuWindow::TImpl : QObject {
    TDuWindow* Owner = nullptr;
    QPointer<QWidget> Host;
    QPointer<QWidget> Root;
    QRect DefinedBounds;
    // Deleted plugins wait here for the event loop; what is left goes with
    // the window.
    std::unique_ptr<QWidget> Graveyard = std::make_unique<QWidget>();
    std::map<QString, QPointer<QMenu>> Menus;
    struct TEventMark {
        QEvent::Type Type = QEvent::None;
        quint64 Timestamp = 0;
        QPointF Global;
    } LastListEvent;

    explicit TImpl(TDuWindow* aOwner) : Owner(aOwner) {}

    void Notify(QObject* aSender, int32_t aCode, qint64 aW = 0, qint64 aL = 0, QObject* aWObject = nullptr,
                QObject* aLObject = nullptr)
    {
        duNotify notify;
        notify.uMsg = aCode;
        notify.wParam = aW;
        notify.lParam = aL;
        notify.wPlugin = TDuPluginAccess::Make(aWObject);
        notify.lPlugin = TDuPluginAccess::Make(aLObject);
        // Exceptions must not cross the toolkit's frames.
        try {
            Owner->Deliver(TDuPluginAccess::Make(aSender), notify);
        } catch (const std::exception& e) {
            TLog::O(lolError, "界面通知处理异常：%s", {e.what()});
        } catch (...) {
            TLog::O(lolError, "界面通知处理异常：未知异常");
        }
    }

    void Prepare(QWidget* aTop);
    void Connect(QWidget* aWidget);
    void ConnectAction(QAction* aAction)
    {
        connect(aAction, &QAction::triggered, this, [this, aAction] { Notify(aAction, DUNM_MENU_ITEM); });
    }
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override;
    bool ListEvent(QWidget* aWidget, QEvent* aEvent);
    QMenu* BuildMenu(const TDuMenuDef& aDef, QWidget* aParent);
    QMenu* MenuNamed(const QString& aName);
};

void TDuWindow::TImpl::Prepare(QWidget* aTop)
{
    QList<QWidget*> widgets = aTop->findChildren<QWidget*>();
    widgets.prepend(aTop);
    for (QWidget* w : widgets) {
        Connect(w);
        for (const QByteArray& name : w->dynamicPropertyNames()) {
            if (name == "duHidden" && w->property("duHidden").toBool())
                w->hide();
            else if (name == "duImage")
                DuApplyImage(w, w->property("duImage").toString());
            else if (name == "duCaption") {
                // A title label shows the window's caption.
                auto* label = qobject_cast<QLabel*>(w);
                if (label && Root && w->property("duCaption").toBool()) {
                    label->setText(Root->windowTitle());
                    connect(Root, &QWidget::windowTitleChanged, label, &QLabel::setText);
                }
            } else if (name == "duClickCode")
                w->installEventFilter(this);
        }
        if (ListViewOf(w))
            w->installEventFilter(this);
    }
    for (QAction* action : aTop->findChildren<QAction*>())
        ConnectAction(action);
}

void TDuWindow::TImpl::Connect(QWidget* w)
{
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        connect(button, &QAbstractButton::pressed, this, [this, button] { Notify(button, DUNM_PRESSED); });
        const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
        connect(button, &QAbstractButton::clicked, this, [this, button, radio](bool aChecked) {
            QPointer<QAbstractButton> alive(button);
            Notify(button, DUNM_CLICK);
            // The click handler may have deleted the button.
            if (alive && (radio || button->isCheckable()))
                Notify(button, radio ? DUNM_RADIO : DUNM_CHECK, aChecked ? 1 : 0);
        });
    } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
        connect(line, &QLineEdit::returnPressed, this, [this, line] { Notify(line, DUNM_EDIT_RETURN); });
        connect(line, &QLineEdit::textChanged, this, [this, line] { Notify(line, DUNM_TEXT_CHANGED); });
        line->installEventFilter(this);
    } else if (auto* text = qobject_cast<QTextEdit*>(w)) {
        connect(text, &QTextEdit::textChanged, this, [this, text] { Notify(text, DUNM_TEXT_CHANGED); });
        text->viewport()->installEventFilter(this);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        connect(plain, &QPlainTextEdit::textChanged, this, [this, plain] { Notify(plain, DUNM_TEXT_CHANGED); });
        plain->viewport()->installEventFilter(this);
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        connect(combo, &QComboBox::activated, this, [this, combo](int aIndex) { Notify(combo, DUNM_COMBO_SELECT, aIndex); });
    } else if (auto* listBox = qobject_cast<QListWidget*>(w)) {
        connect(listBox, &QListWidget::itemClicked, this,
                [this, listBox](QListWidgetItem* aItem) { Notify(listBox, DUNM_LISTBOX_ITEM, listBox->row(aItem)); });
        listBox->viewport()->installEventFilter(this);
    } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
        if (view->selectionModel())
            connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                    [this, view](const QModelIndex& aCurrent, const QModelIndex& aPrevious) {
                        Notify(view, DUNM_LIST_SELCHANGE, aPrevious.row(), aCurrent.row());
                    });
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this, view](const QModelIndex& aIndex) { Notify(view, DUNM_LIST_DBLCLICK, aIndex.row()); });
        view->viewport()->installEventFilter(this);
    } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        tabs->setProperty("_du_tab", tabs->currentIndex());
        connect(tabs, &QTabWidget::currentChanged, this, [this, tabs](int aIndex) {
            QPointer<QWidget> previous = tabs->widget(tabs->property("_du_tab").toInt());
            tabs->setProperty("_du_tab", aIndex);
            QPointer<QWidget> current = tabs->widget(aIndex);
            if (previous && previous != current)
                Notify(previous, DUNM_TAB, 0);
            if (current)
                Notify(current, DUNM_TAB, 1);
        });
    } else if (auto* area = qobject_cast<QScrollArea*>(w)) {
        connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this, area](int aValue) { Notify(area, DUNM_SCROLL, aValue); });
    }
}

bool TDuWindow::TImpl::eventFilter(QObject* aWatched, QEvent* aEvent)
{
    const QEvent::Type type = aEvent->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick && type != QEvent::ContextMenu)
        return false;
    auto* widget = qobject_cast<QWidget*>(aWatched);
    if (!widget)
        return false;
    QPointer<QWidget> alive(widget);

    // A click into an edit.
    if (type == QEvent::MouseButtonPress) {
        if (qobject_cast<QLineEdit*>(widget))
            Notify(widget, DUNM_PRESSED);
        else if (QWidget* edit = EditOfViewport(widget);
                 edit && (qobject_cast<QTextEdit*>(edit) || qobject_cast<QPlainTextEdit*>(edit)))
            Notify(edit, DUNM_PRESSED);
        if (!alive)
            return true;
    }
    // A right click on a list box.
    if (type == QEvent::ContextMenu)
        if (QWidget* view = EditOfViewport(widget); qobject_cast<QAbstractItemView*>(view)) {
            auto* listView = static_cast<QAbstractItemView*>(view);
            const QModelIndex index = listView->indexAt(static_cast<QContextMenuEvent*>(aEvent)->pos());
            Notify(view, DUNM_LIST_CONTEXT, index.row());
            return true;
        }
    // Elements the skin makes clickable.
    if (type == QEvent::MouseButtonRelease && HasDynamicProperty(widget, "duClickCode")) {
        auto* mouse = static_cast<QMouseEvent*>(aEvent);
        if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
            Notify(widget, widget->property("duClickCode").toInt());
            if (!alive)
                return true;
        }
    }
    return ListEvent(widget, aEvent);
}

bool TDuWindow::TImpl::ListEvent(QWidget* aWidget, QEvent* aEvent)
{
    QWidget* list = ListViewOf(aWidget);
    TDuSkin* skin = TDuSkin::Loaded();
    if (!list || !skin)
        return false;
    // An event a child ignored reaches its parents as a copy: handle the
    // gesture once, at the deepest element.
    const QEvent::Type type = aEvent->type();
    TEventMark mark{type, 0, {}};
    if (auto* input = dynamic_cast<QSinglePointEvent*>(aEvent)) {
        mark.Timestamp = input->timestamp();
        mark.Global = input->globalPosition();
    } else if (auto* context = dynamic_cast<QContextMenuEvent*>(aEvent)) {
        mark.Timestamp = context->timestamp();
        mark.Global = context->globalPos();
    }
    if (type == QEvent::MouseButtonRelease) {
        LastListEvent = {};
        return false;
    }
    if (mark.Type == LastListEvent.Type && mark.Timestamp == LastListEvent.Timestamp &&
        mark.Global == LastListEvent.Global)
        return false;
    LastListEvent = mark;

    QWidget* row = RowOf(list, aWidget);
    if (type == QEvent::MouseButtonPress) {
        auto& selections = skin->ListSelection();
        if (!selections.contains(list))
            connect(list, &QObject::destroyed, this, [](QObject* aList) {
                if (TDuSkin* s = TDuSkin::Loaded())
                    s->ListSelection().remove(aList);
            });
        QPointer<QObject>& selected = selections[list];
        if (row && row != selected) {
            QPointer<QObject> previous = selected;
            selected = row;
            Notify(list, DUNM_LIST_SELCHANGE, 0, 0, previous.data(), row);
        }
    } else if (type == QEvent::MouseButtonDblClick) {
        if (row && static_cast<QMouseEvent*>(aEvent)->button() == Qt::LeftButton)
            Notify(list, DUNM_LIST_DBLCLICK, 0, 0, row);
    } else if (type == QEvent::ContextMenu) {
        Notify(list, DUNM_LIST_CONTEXT, 0, 0, row);
        return true;
    }
    return false;
}

QMenu* TDuWindow::TImpl::BuildMenu(const TDuMenuDef& aDef, QWidget* aParent)
{
    auto* menu = new QMenu(aDef.Text, aParent);
    menu->setObjectName(aDef.Name);
    TDuSkin* skin = TDuSkin::Loaded();
    for (const TDuMenuDef& item : aDef.Items) {
        if (item.Kind == TDuMenuDef::mkSeparator) {
            menu->addSeparator();
        } else if (item.Kind == TDuMenuDef::mkMenu) {
            QMenu* sub = BuildMenu(item, menu);
            menu->addMenu(sub);
        } else {
            QAction* action = menu->addAction(item.Text);
            action->setObjectName(item.Name);
            if (skin && !item.Image.isEmpty())
                DuApplyImage(action, item.Image);
            ConnectAction(action);
        }
    }
    return menu;
}

QMenu* TDuWindow::TImpl::MenuNamed(const QString& aName)
{
    QPointer<QMenu>& menu = Menus[aName];
    if (!menu && Host)
        if (TDuSkin* skin = TDuSkin::Loaded())
            if (const TDuMenuDef* def = skin->Menu(aName))
                menu = BuildMenu(*def, Host);
    return menu;
}

// ---- keys ----------------------------------------------------------------

int32_t TDirectUiNotifyKeyHash::HashOf(const TDirectUiNotifyKey& aKey)
{
    const std::u16string units = Utf8ToUtf16(aKey.PluginName);
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    const int32_t nameHash = ResHash(bytes.data(), bytes.size(), 0);
    const uint32_t msg = static_cast<uint32_t>(aKey.Msg);
    const unsigned char msgBytes[4] = {static_cast<unsigned char>(msg), static_cast<unsigned char>(msg >> 8),
                                       static_cast<unsigned char>(msg >> 16), static_cast<unsigned char>(msg >> 24)};
    return ResHash(msgBytes, sizeof msgBytes, static_cast<uint32_t>(nameHash));
}

// ---- TDuWindow ---------------------------------------------------------------

TDuWindow::TDuWindow() : d(std::make_unique<TImpl>(this)) {}

TDuWindow::~TDuWindow() = default;

void TDuWindow::Init(TUiForm* aForm, const std::string& aWinName)
{
    FWinName = aWinName;
    if (!aForm)
        return;
    TDuSkin& skin = TDuSkin::Get();
    QWidget* host = TUiFormAccess::Host(*aForm);
    d->Host = host;
    if (const TDuWindowDef* def = skin.Window(ToQ(aWinName))) {
        QWidget* root = skin.LoadWindow(*def, host);
        d->Root = root;
        d->DefinedBounds = def->Geometry;
        delete host->layout();
        auto* layout = new QVBoxLayout(host);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(root);
        if (!root->windowTitle().isEmpty())
            host->setWindowTitle(root->windowTitle());
        QObject::connect(root, &QWidget::windowTitleChanged, host, &QWidget::setWindowTitle);
        skin.AddHost(host);
        d->Prepare(root);
    }
    GetDuPluginByName(aWinName);
}

TDuRect TDuWindow::DefinedBounds() const
{
    const QRect r = d->DefinedBounds;
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

duPlugin TDuWindow::DuWindow() const
{
    return TDuPluginAccess::Make(d->Root.data());
}

void TDuWindow::SetNotifySink(std::function<void(duPlugin, const duNotify&)> aSink)
{
    FNotifySink = std::move(aSink);
}

void TDuWindow::Deliver(const duPlugin& aDuPlugin, const duNotify& aDuNotify)
{
    if (FNotifySink)
        FNotifySink(aDuPlugin, aDuNotify);
    else
        DirectUiNotifyProc(aDuPlugin, aDuNotify);
}

duPlugin TDuWindow::FindDuPlugin(const std::string& aPluginName) const
{
    if (!d->Host || aPluginName.empty())
        return {};
    const QString name = ToQ(aPluginName);
    if (auto* widget = d->Host->findChild<QWidget*>(name))
        return IsPluginObject(widget) ? TDuPluginAccess::Make(widget) : duPlugin();
    if (auto* action = d->Host->findChild<QAction*>(name))
        return IsPluginObject(action) ? TDuPluginAccess::Make(action) : duPlugin();
    // Menu items exist once their menu is built.
    if (TDuSkin* skin = TDuSkin::Loaded()) {
        const QString menuName = skin->MenuHolding(name);
        if (QMenu* menu = menuName.isEmpty() ? nullptr : d->MenuNamed(menuName)) {
            if (menu->objectName() == name)
                return TDuPluginAccess::Make(menu);
            if (auto* sub = menu->findChild<QMenu*>(name))
                return TDuPluginAccess::Make(sub);
            if (auto* action = menu->findChild<QAction*>(name))
                return TDuPluginAccess::Make(action);
        }
    }
    return {};
}

duPlugin TDuWindow::GetDuPluginByName(const std::string& aPluginName) const
{
    duPlugin plugin = FindDuPlugin(aPluginName);
    if (!plugin)
        throw Exception(FormatText(kPluginMissing, {aPluginName}));
    return plugin;
}

void TDuWindow::RegisterDuPluginNotifyEvent(const std::string& aPluginName, int32_t aMessage,
                                            TDirectUiNotifyEventProc aEventProc)
{
    if (!FDirectUiNotifyEventDictionary.emplace(TDirectUiNotifyKey{aPluginName, aMessage}, std::move(aEventProc)).second)
        throw Exception(kDuplicateKey);
    FLastDirectUiNotifyEvent.reset();
}

void TDuWindow::RegisterDuPluginNotifyEventForMetch(const std::string& aPluginName, int32_t aMessage,
                                                    TDirectUiNotifyEventProc aEventProc)
{
    FDirectUiNotifyEventList.push_back({aPluginName, aMessage, std::move(aEventProc)});
    FLastDirectUiNotifyEvent.reset();
}

void TDuWindow::DirectUiNotifyProc(const duPlugin& aDuPlugin, const duNotify& aDuNotify)
{
    if (!aDuPlugin)
        return;
    TDirectUiNotifyKey key{aDuPlugin.GetName(), aDuNotify.uMsg};
    TDirectUiNotifyEventProc proc;
    if (FLastDirectUiNotifyEvent && FLastDirectUiNotifyEvent->Key == key) {
        proc = FLastDirectUiNotifyEvent->EventProc;
    } else {
        auto it = FDirectUiNotifyEventDictionary.find(key);
        if (it != FDirectUiNotifyEventDictionary.end()) {
            proc = it->second;
        } else {
            for (const TDirectUiNotifyListItem& item : FDirectUiNotifyEventList)
                if (item.Msg == key.Msg && MatchString(item.PluginName, key.PluginName)) {
                    // A copy: the handler may register more and move the list.
                    TDirectUiNotifyEventProc hit = item.EventProc;
                    if (hit)
                        hit(aDuPlugin, aDuNotify);
                    return;
                }
        }
        FLastDirectUiNotifyEvent = TLastDirectUiNotifyEvent{std::move(key), proc};
    }
    if (proc)
        proc(aDuPlugin, aDuNotify);
}

duPlugin TDuWindow::DuPluginClone(const duPlugin& aDuPlugin, const duPlugin& aParent, const duPlugin& aPrev,
                                  const std::string& aNameSuffix)
{
    QWidget* source = TDuPluginAccess::Widget(aDuPlugin);
    QWidget* parent = TDuPluginAccess::Widget(aParent);
    QWidget* prev = TDuPluginAccess::Widget(aPrev);
    TDuSkin* skin = TDuSkin::Loaded();
    if (!source || !parent || !skin || !d->Root || (aPrev && !prev))
        throw Exception(kCloneFailed);

    // The widget the clone becomes a child of: the previous sibling's, the
    // template's when it sits under the parent plugin, else the parent's
    // content.
    QWidget* home = parent;
    if (prev)
        home = prev->parentWidget();
    else if (PluginParent(source) == parent)
        home = source->parentWidget();
    else if (auto* area = qobject_cast<QScrollArea*>(parent); area && area->widget())
        home = area->widget();
    if (!home || (prev && PluginParent(prev) != parent))
        throw Exception(kCloneFailed);

    const QString element = HasDynamicProperty(source, "_du_src") ? source->property("_du_src").toString()
                                                                  : source->objectName();
    const QString suffix = source->property("_du_sfx").toString() + ToQ(aNameSuffix);
    QWidget* clone = skin->LoadElement(ToQ(FWinName), element, home);
    if (!clone)
        throw Exception(kCloneFailed);
    RenameTree(clone, suffix);

    // Into the layout right after the previous sibling (first without one),
    // and likewise in the children's order, which tree navigation follows.
    QLayout* layout = prev ? LayoutHolding(prev) : (source->parentWidget() == home ? LayoutHolding(source) : home->layout());
    if (auto* box = qobject_cast<QBoxLayout*>(layout))
        box->insertWidget(prev ? IndexInLayout(box, prev) + 1 : 0, clone);
    else if (layout)
        layout->addWidget(clone);
    const QObjectList& siblings = home->children();
    QWidget* next = nullptr;
    for (qsizetype i = prev ? siblings.lastIndexOf(prev) + 1 : 0; i < siblings.size() && !next; ++i)
        if (siblings[i] != clone && siblings[i]->isWidgetType())
            next = static_cast<QWidget*>(siblings[i]);
    if (next)
        clone->stackUnder(next);

    d->Prepare(clone);
    DuSetVisible(clone, !clone->property("duHidden").toBool());
    return TDuPluginAccess::Make(clone);
}

bool TDuWindow::DuPluginDelete(const duPlugin& aDuPlugin)
{
    QObject* object = TDuPluginAccess::Object(aDuPlugin);
    if (!object || object == d->Root)
        return false;
    const QString deletedName = QStringLiteral("~deleted~") + object->objectName();
    if (auto* action = qobject_cast<QAction*>(object)) {
        if (auto* menu = qobject_cast<QMenu*>(action->parent()))
            menu->removeAction(action);
        action->setObjectName(deletedName);
        action->setParent(d->Graveyard.get());
        action->deleteLater();
        return true;
    }
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return false;
    if (QLayout* layout = LayoutHolding(widget))
        layout->removeWidget(widget);
    widget->hide();
    widget->setObjectName(deletedName);
    widget->setParent(d->Graveyard.get());
    if (TDuSkin* skin = TDuSkin::Loaded())
        for (auto it = skin->ListSelection().begin(); it != skin->ListSelection().end(); ++it)
            if (it.value() == widget || (it.value() && widget->isAncestorOf(qobject_cast<QWidget*>(it.value().data()))))
                it.value() = nullptr;
    widget->deleteLater();
    return true;
}

duPlugin TDuWindow::DuPluginOfFocus() const
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || !d->Host || !d->Host->isAncestorOf(focus))
        return {};
    return TDuPluginAccess::Make(IsPluginObject(focus) ? focus : PluginParent(focus));
}

void TDuWindow::Invalidate()
{
    if (d->Host)
        d->Host->update();
}

duPlugin TDuWindow::TrackPopupMenu(const std::string& aMenuName, int aScreenX, int aScreenY)
{
    QMenu* menu = d->MenuNamed(ToQ(aMenuName));
    if (!menu)
        return {};
    menu->popup(QPoint(aScreenX, aScreenY));
    return TDuPluginAccess::Make(menu);
}

duPlugin TDuWindow::PopupMenu(const std::string& aMenuName)
{
    return TDuPluginAccess::Make(d->MenuNamed(ToQ(aMenuName)));
}

duPlugin TDuWindow::TrackPopupMenuAtCursor(const std::string& aMenuName, int aDx, int aDy)
{
    const QPoint at = QCursor::pos();
    return TrackPopupMenu(aMenuName, at.x() + aDx, at.y() + aDy);
}

std::string TDuWindow::LoadExternalImage(const std::string& aFileName, bool aOriginalFile)
{
    const std::filesystem::path file(aFileName);
    const std::string name = aOriginalFile ? file.filename().string() : NewGuidId();
    return TDuResManager::CreateImageFromFile(name, file) ? name : std::string();
}

std::string TDuWindow::CreateStyleForExternalImage(const std::string& aFileName, bool aOriginalFile)
{
    const std::string image = LoadExternalImage(aFileName, aOriginalFile);
    if (image.empty())
        return {};
    const std::string style = image + "_style";
    if (TDuResManager::HasStyle(style) || TDuResManager::CreateImageStyle(style, image))
        return style;
    return {};
}

std::string TDuWindow::LoadFileIcon(const std::string& aFileName)
{
    if (aFileName.empty())
        return {};
    TDuSkin& skin = TDuSkin::Get();
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(ToQ(aFileName), QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(mime.genericIconName());
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    const QPixmap pixmap = icon.pixmap(16, 16);
    if (pixmap.isNull())
        return {};
    const std::string name = NewGuidId();
    skin.AddImage(ToQ(name), pixmap, {});
    return name;
}

std::vector<std::string> TDuWindow::UnknownRegisteredNames() const
{
    std::vector<std::string> unknown;
    for (const auto& [key, proc] : FDirectUiNotifyEventDictionary)
        if (!FindDuPlugin(key.PluginName))
            unknown.push_back(key.PluginName);
    std::sort(unknown.begin(), unknown.end());
    unknown.erase(std::unique(unknown.begin(), unknown.end()), unknown.end());
    return unknown;
}
