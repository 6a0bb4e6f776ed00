#include "DuInternal.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextEdit>

#include <algorithm>

// ---- the tree ----------------------------------------------------------

bool IsPluginObject(const QObject* aObject)
{
    if (!aObject || !(aObject->isWidgetType() || qobject_cast<const QAction*>(aObject)))
        return false;
    const QString name = aObject->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

QObject* PluginParent(const QObject* aObject)
{
    for (QObject* p = aObject ? aObject->parent() : nullptr; p; p = p->parent())
        if (IsPluginObject(p))
            return p;
    return nullptr;
}

namespace {

void CollectPluginChildren(const QObject* aObject, std::vector<QObject*>& aOut)
{
    for (QObject* child : aObject->children()) {
        if (qobject_cast<QLayout*>(child))
            continue;
        if (IsPluginObject(child))
            aOut.push_back(child);
        else if (child->isWidgetType())
            CollectPluginChildren(child, aOut);
    }
}

duPlugin Sibling(const QObject* aObject, int aStep)
{
    const QObject* parent = PluginParent(aObject);
    if (!parent)
        return {};
    const std::vector<QObject*> siblings = PluginChildren(parent);
    const auto it = std::find(siblings.begin(), siblings.end(), aObject);
    if (it == siblings.end())
        return {};
    const auto index = (it - siblings.begin()) + aStep;
    if (index < 0 || index >= static_cast<std::ptrdiff_t>(siblings.size()))
        return {};
    return TDuPluginAccess::Make(siblings[static_cast<std::size_t>(index)]);
}

QLayout* FindLayoutHolding(QLayout* aLayout, QWidget* aWidget)
{
    // From the end: rows are appended, so what is asked for is mostly there.
    for (int i = aLayout->count() - 1; i >= 0; --i) {
        QLayoutItem* item = aLayout->itemAt(i);
        if (item->widget() == aWidget)
            return aLayout;
        if (QLayout* inner = item->layout())
            if (QLayout* found = FindLayoutHolding(inner, aWidget))
                return found;
    }
    return nullptr;
}

void RelayoutWidget(QWidget* aWidget)
{
    aWidget->updateGeometry();
    if (QLayout* own = aWidget->layout())
        own->activate();
    if (QWidget* parent = aWidget->parentWidget())
        if (QLayout* layout = parent->layout())
            layout->activate();
}

bool InLayout(QWidget* aWidget)
{
    return LayoutHolding(aWidget) != nullptr;
}

QListWidget* ListBoxOf(QObject* aObject)
{
    return qobject_cast<QListWidget*>(aObject);
}

} // namespace

void DuSetVisible(QWidget* aWidget, bool aVisible)
{
    if (!aVisible || !aWidget->parentWidget() || !aWidget->parentWidget()->isVisible()) {
        aWidget->setVisible(aVisible);
        return;
    }
    // Showing a child of a shown widget lays its ancestors out at once;
    // showing the rows of a long list one by one would lay the list out once
    // per row. The layouts wait for the event loop instead, as they do while
    // the window is hidden.
    std::vector<QLayout*> paused;
    for (QWidget* p = aWidget->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (QLayout* layout = p->layout(); layout && layout->isEnabled()) {
            layout->setEnabled(false);
            paused.push_back(layout);
        }
    aWidget->setVisible(true);
    for (QLayout* layout : paused) {
        layout->setEnabled(true);
        layout->update();
    }
}

std::vector<QObject*> PluginChildren(const QObject* aObject)
{
    std::vector<QObject*> out;
    if (aObject)
        CollectPluginChildren(aObject, out);
    return out;
}

QLayout* LayoutHolding(QWidget* aWidget)
{
    QWidget* parent = aWidget ? aWidget->parentWidget() : nullptr;
    if (!parent || !parent->layout())
        return nullptr;
    return FindLayoutHolding(parent->layout(), aWidget);
}

// ---- images --------------------------------------------------------------

void DuApplyImage(QObject* aObject, const QString& aImage)
{
    TDuSkin* skin = TDuSkin::Loaded();
    if (!aObject || !skin)
        return;
    aObject->setProperty("duImage", aImage);
    const QPixmap pixmap = aImage.isEmpty() ? QPixmap() : skin->Image(aImage);
    if (auto* label = qobject_cast<QLabel*>(aObject)) {
        label->setPixmap(pixmap);
    } else if (auto* button = qobject_cast<QAbstractButton*>(aObject)) {
        button->setIcon(pixmap.isNull() ? QIcon() : QIcon(pixmap));
    } else if (auto* action = qobject_cast<QAction*>(aObject)) {
        action->setIcon(pixmap.isNull() ? QIcon() : QIcon(pixmap));
    } else if (auto* widget = qobject_cast<QWidget*>(aObject)) {
        widget->removeEventFilter(skin->ImageLayer());
        if (!pixmap.isNull())
            widget->installEventFilter(skin->ImageLayer());
        widget->update();
    }
}

// ---- duPlugin ------------------------------------------------------------

duPlugin TDuPluginAccess::Make(QObject* aObject)
{
    duPlugin plugin;
    if (aObject)
        plugin.FRef = std::make_shared<const duPlugin::TRef>(duPlugin::TRef{aObject});
    return plugin;
}

#define DU_OBJECT QObject* o = TDuPluginAccess::Object(*this)
#define DU_WIDGET QWidget* w = TDuPluginAccess::Widget(*this)

bool duPlugin::IsNull() const
{
    return TDuPluginAccess::Object(*this) == nullptr;
}

bool operator==(const duPlugin& a, const duPlugin& b)
{
    return TDuPluginAccess::Object(a) == TDuPluginAccess::Object(b);
}

std::string duPlugin::GetType() const
{
    DU_OBJECT;
    if (!o)
        return {};
    const QVariant kind = o->property("duKind");
    if (kind.isValid())
        return FromQ(kind.toString());
    if (qobject_cast<QAction*>(o))
        return "menuitem";
    if (qobject_cast<QMenu*>(o))
        return "menu";
    if (qobject_cast<QRadioButton*>(o))
        return "radio";
    if (qobject_cast<QCheckBox*>(o))
        return "checkbox";
    if (qobject_cast<QAbstractButton*>(o))
        return "button";
    if (qobject_cast<QLineEdit*>(o) || qobject_cast<QTextEdit*>(o) || qobject_cast<QPlainTextEdit*>(o))
        return "edit";
    if (qobject_cast<QComboBox*>(o))
        return "combobox";
    if (qobject_cast<QListWidget*>(o))
        return "listbox";
    if (qobject_cast<QAbstractItemView*>(o))
        return "listview";
    if (qobject_cast<QLabel*>(o))
        return "label";
    if (qobject_cast<QTabWidget*>(o))
        return "tab";
    if (qobject_cast<QScrollArea*>(o))
        return "scroll";
    if (qobject_cast<QProgressBar*>(o))
        return "progress";
    if (!PluginParent(o))
        return "window";
    if (auto* w = qobject_cast<QWidget*>(o); w && w->layout())
        return "layout";
    return "control";
}

std::string duPlugin::GetName() const
{
    DU_OBJECT;
    return o ? FromQ(o->objectName()) : std::string();
}

duPlugin duPlugin::GetParent() const
{
    DU_OBJECT;
    return TDuPluginAccess::Make(PluginParent(o));
}

duPlugin duPlugin::GetFirstChild() const
{
    DU_OBJECT;
    const auto children = PluginChildren(o);
    return children.empty() ? duPlugin() : TDuPluginAccess::Make(children.front());
}

duPlugin duPlugin::GetLastChild() const
{
    DU_OBJECT;
    const auto children = PluginChildren(o);
    return children.empty() ? duPlugin() : TDuPluginAccess::Make(children.back());
}

duPlugin duPlugin::GetNextSibling() const
{
    DU_OBJECT;
    return o ? Sibling(o, 1) : duPlugin();
}

duPlugin duPlugin::GetPreSibling() const
{
    DU_OBJECT;
    return o ? Sibling(o, -1) : duPlugin();
}

bool duPlugin::IsVisible() const
{
    DU_OBJECT;
    if (auto* action = qobject_cast<QAction*>(o))
        return action->isVisible();
    if (auto* w = qobject_cast<QWidget*>(o))
        return !w->isHidden();
    return false;
}

void duPlugin::SetVisible(bool aVisible) const
{
    DU_OBJECT;
    if (auto* action = qobject_cast<QAction*>(o))
        action->setVisible(aVisible);
    else if (auto* w = qobject_cast<QWidget*>(o))
        DuSetVisible(w, aVisible);
}

bool duPlugin::IsDisable() const
{
    DU_OBJECT;
    if (auto* action = qobject_cast<QAction*>(o))
        return !action->isEnabled();
    if (auto* w = qobject_cast<QWidget*>(o))
        return !w->isEnabled();
    return false;
}

void duPlugin::SetDisable(bool aDisable) const
{
    DU_OBJECT;
    if (auto* action = qobject_cast<QAction*>(o))
        action->setEnabled(!aDisable);
    else if (auto* w = qobject_cast<QWidget*>(o))
        w->setEnabled(!aDisable);
}

void duPlugin::Redraw() const
{
    DU_WIDGET;
    if (w)
        w->update();
}

void duPlugin::SetFocus() const
{
    DU_WIDGET;
    if (w)
        w->setFocus(Qt::OtherFocusReason);
}

void duPlugin::Click() const
{
    DU_OBJECT;
    if (auto* button = qobject_cast<QAbstractButton*>(o))
        button->click();
    else if (auto* action = qobject_cast<QAction*>(o))
        action->trigger();
}

std::string duPlugin::GetText() const
{
    DU_OBJECT;
    if (!o)
        return {};
    if (auto* x = qobject_cast<QAbstractButton*>(o))
        return FromQ(x->text());
    if (auto* x = qobject_cast<QLabel*>(o))
        return FromQ(x->text());
    if (auto* x = qobject_cast<QLineEdit*>(o))
        return FromQ(x->text());
    if (auto* x = qobject_cast<QTextEdit*>(o))
        return FromQ(x->toPlainText());
    if (auto* x = qobject_cast<QPlainTextEdit*>(o))
        return FromQ(x->toPlainText());
    if (auto* x = qobject_cast<QComboBox*>(o))
        return FromQ(x->currentText());
    if (auto* x = qobject_cast<QGroupBox*>(o))
        return FromQ(x->title());
    if (auto* x = qobject_cast<QAction*>(o))
        return FromQ(x->text());
    if (auto* x = qobject_cast<QWidget*>(o))
        return FromQ(x->windowTitle());
    return {};
}

void duPlugin::SetText(const std::string& aText) const
{
    DU_OBJECT;
    if (!o)
        return;
    const QString text = ToQ(aText);
    if (auto* x = qobject_cast<QAbstractButton*>(o))
        x->setText(text);
    else if (auto* x = qobject_cast<QLabel*>(o))
        x->setText(text);
    else if (auto* x = qobject_cast<QLineEdit*>(o))
        x->setText(text);
    else if (auto* x = qobject_cast<QTextEdit*>(o))
        x->setPlainText(text);
    else if (auto* x = qobject_cast<QPlainTextEdit*>(o))
        x->setPlainText(text);
    else if (auto* x = qobject_cast<QComboBox*>(o)) {
        if (x->isEditable())
            x->setEditText(text);
        else
            x->setCurrentIndex(x->findText(text));
    } else if (auto* x = qobject_cast<QGroupBox*>(o))
        x->setTitle(text);
    else if (auto* x = qobject_cast<QAction*>(o))
        x->setText(text);
    else if (auto* x = qobject_cast<QWidget*>(o))
        x->setWindowTitle(text);
}

std::string duPlugin::GetTooltip() const
{
    DU_OBJECT;
    if (auto* action = qobject_cast<QAction*>(o))
        return FromQ(action->toolTip());
    if (auto* w = qobject_cast<QWidget*>(o))
        return FromQ(w->toolTip());
    return {};
}

void duPlugin::SetTooltip(const std::string& aText) const
{
    DU_OBJECT;
    if (auto* action = qobject_cast<QAction*>(o))
        action->setToolTip(ToQ(aText));
    else if (auto* w = qobject_cast<QWidget*>(o))
        w->setToolTip(ToQ(aText));
}

std::string duPlugin::GetStyle() const
{
    DU_OBJECT;
    return o ? FromQ(o->property("duStyle").toString()) : std::string();
}

void duPlugin::SetStyle(const std::string& aStyle) const
{
    DU_WIDGET;
    if (!w)
        return;
    w->setProperty("duStyle", ToQ(aStyle));
    // Style-sheet rules select on the property: apply them again.
    w->style()->unpolish(w);
    w->style()->polish(w);
    if (const TDuSkin* skin = TDuSkin::Loaded(); skin && skin->Style(ToQ(aStyle)))
        w->setFont(skin->StyleFont(ToQ(aStyle)));
    w->update();
}

std::string duPlugin::GetImage() const
{
    DU_OBJECT;
    return o ? FromQ(o->property("duImage").toString()) : std::string();
}

void duPlugin::SetImage(const std::string& aImage) const
{
    DuApplyImage(TDuPluginAccess::Object(*this), ToQ(aImage));
}

int duPlugin::GetLeft() const
{
    DU_WIDGET;
    return w ? w->x() : 0;
}

int duPlugin::GetTop() const
{
    DU_WIDGET;
    return w ? w->y() : 0;
}

int duPlugin::GetWidth() const
{
    DU_WIDGET;
    return w ? w->width() : 0;
}

int duPlugin::GetHeight() const
{
    DU_WIDGET;
    return w ? w->height() : 0;
}

void duPlugin::SetPos(int aLeft, int aTop) const
{
    DU_WIDGET;
    if (w)
        w->move(aLeft, aTop);
}

void duPlugin::SetWidth(int aWidth) const
{
    DU_WIDGET;
    if (!w)
        return;
    if (InLayout(w))
        w->setFixedWidth(std::max(0, aWidth));
    w->resize(std::max(0, aWidth), w->height());
}

void duPlugin::SetHeight(int aHeight) const
{
    DU_WIDGET;
    if (!w)
        return;
    if (InLayout(w))
        w->setFixedHeight(std::max(0, aHeight));
    w->resize(w->width(), std::max(0, aHeight));
}

void duPlugin::Resize(int aWidth, int aHeight) const
{
    SetWidth(aWidth);
    SetHeight(aHeight);
}

TDuRect duPlugin::GetRect() const
{
    DU_WIDGET;
    if (!w)
        return {};
    QWidget* root = w;
    for (QObject* p = PluginParent(w); p; p = PluginParent(p))
        if (auto* pw = qobject_cast<QWidget*>(p))
            root = pw;
    const QPoint topLeft = root == w ? QPoint(0, 0) : w->mapTo(root, QPoint(0, 0));
    return {topLeft.x(), topLeft.y(), topLeft.x() + w->width(), topLeft.y() + w->height()};
}

void duPlugin::Relayout() const
{
    DU_WIDGET;
    if (w)
        RelayoutWidget(w);
}

int duPlugin::GetAttributeInt(const std::string& aName, int aDefault) const
{
    DU_OBJECT;
    if (!o)
        return aDefault;
    bool ok = false;
    const int value = o->property(aName.c_str()).toInt(&ok);
    return ok ? value : aDefault;
}

void duPlugin::SetAttributeInt(const std::string& aName, int aValue) const
{
    DU_OBJECT;
    if (!o)
        return;
    o->setProperty(aName.c_str(), aValue);
    if (auto* w = qobject_cast<QWidget*>(o))
        RelayoutWidget(w);
}

std::string duPlugin::GetAttribute(const std::string& aName) const
{
    DU_OBJECT;
    return o ? FromQ(o->property(aName.c_str()).toString()) : std::string();
}

void duPlugin::SetAttribute(const std::string& aName, const std::string& aValue) const
{
    DU_OBJECT;
    if (o)
        o->setProperty(aName.c_str(), ToQ(aValue));
}

bool duPlugin::IsChecked() const
{
    DU_OBJECT;
    if (auto* button = qobject_cast<QAbstractButton*>(o))
        return button->isChecked();
    if (auto* action = qobject_cast<QAction*>(o))
        return action->isChecked();
    if (auto* box = qobject_cast<QGroupBox*>(o))
        return box->isChecked();
    return false;
}

void duPlugin::SetChecked(bool aChecked) const
{
    DU_OBJECT;
    if (auto* button = qobject_cast<QAbstractButton*>(o))
        button->setChecked(aChecked);
    else if (auto* action = qobject_cast<QAction*>(o))
        action->setChecked(aChecked);
    else if (auto* box = qobject_cast<QGroupBox*>(o))
        box->setChecked(aChecked);
}

void duPlugin::ClearItems() const
{
    DU_OBJECT;
    if (auto* combo = qobject_cast<QComboBox*>(o))
        combo->clear();
    else if (auto* list = ListBoxOf(o))
        list->clear();
}

void duPlugin::AddItem(const std::string& aText) const
{
    DU_OBJECT;
    if (auto* combo = qobject_cast<QComboBox*>(o)) {
        combo->addItem(ToQ(aText));
    } else if (auto* list = ListBoxOf(o)) {
        // A list read at its end (a log) follows what is added.
        QScrollBar* bar = list->verticalScrollBar();
        const bool atEnd = !bar || bar->value() >= bar->maximum();
        list->addItem(ToQ(aText));
        if (atEnd)
            list->scrollToBottom();
    }
}

int duPlugin::GetItemCount() const
{
    DU_OBJECT;
    if (auto* combo = qobject_cast<QComboBox*>(o))
        return combo->count();
    if (auto* list = ListBoxOf(o))
        return list->count();
    return 0;
}

std::string duPlugin::GetItemText(int aIndex) const
{
    DU_OBJECT;
    if (auto* combo = qobject_cast<QComboBox*>(o))
        return FromQ(combo->itemText(aIndex));
    if (auto* list = ListBoxOf(o))
        if (QListWidgetItem* item = list->item(aIndex))
            return FromQ(item->text());
    return {};
}

int duPlugin::GetSelectedIndex() const
{
    DU_OBJECT;
    if (auto* tabs = qobject_cast<QTabWidget*>(o))
        return tabs->currentIndex();
    if (auto* combo = qobject_cast<QComboBox*>(o))
        return combo->currentIndex();
    if (auto* list = ListBoxOf(o))
        return list->currentRow();
    return -1;
}

void duPlugin::SetSelectedIndex(int aIndex) const
{
    DU_OBJECT;
    if (auto* tabs = qobject_cast<QTabWidget*>(o))
        tabs->setCurrentIndex(aIndex);
    else if (auto* combo = qobject_cast<QComboBox*>(o))
        combo->setCurrentIndex(aIndex);
    else if (auto* list = ListBoxOf(o))
        list->setCurrentRow(aIndex);
}

duPlugin duPlugin::GetSelItem() const
{
    DU_OBJECT;
    TDuSkin* skin = TDuSkin::Loaded();
    if (!o || !skin)
        return {};
    return TDuPluginAccess::Make(skin->ListSelection().value(o).data());
}

void duPlugin::SetSelItem(const duPlugin& aRow) const
{
    DU_OBJECT;
    TDuSkin* skin = TDuSkin::Loaded();
    if (!o || !skin)
        return;
    skin->ListSelection()[o] = TDuPluginAccess::Object(aRow);
}

intptr_t duPlugin::GetParam() const
{
    DU_OBJECT;
    return o ? static_cast<intptr_t>(o->property("_du_param").toLongLong()) : 0;
}

void duPlugin::SetParam(intptr_t aParam) const
{
    DU_OBJECT;
    if (o)
        o->setProperty("_du_param", static_cast<qlonglong>(aParam));
}

#undef DU_OBJECT
#undef DU_WIDGET

// ---- names ---------------------------------------------------------------

bool MatchString(const std::string& aPattern, const std::string& aName)
{
    // Greedy with one back-track point: the last "*" seen.
    std::size_t p = 0, n = 0, star = std::string::npos, mark = 0;
    while (n < aName.size()) {
        if (p < aPattern.size() && aPattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (p < aPattern.size() && aPattern[p] == aName[n]) {
            ++p;
            ++n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < aPattern.size() && aPattern[p] == '*')
        ++p;
    return p == aPattern.size();
}
