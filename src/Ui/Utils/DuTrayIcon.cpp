#include "DuTrayIcon.h"

#include "DuInternal.h"
#include "DuSkin.h"

#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>

struct TDuTrayIcon::TImpl {
    TDuForm& Form;
    std::unique_ptr<QSystemTrayIcon> Icon;
    std::function<void()> OnDoubleClick;
};

bool TDuTrayIcon::IsAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

TDuTrayIcon::TDuTrayIcon(TDuForm& aForm) : d(std::make_unique<TImpl>(TImpl{aForm, std::make_unique<QSystemTrayIcon>(), {}}))
{
    QObject::connect(d->Icon.get(), &QSystemTrayIcon::activated, d->Icon.get(),
                     [this](QSystemTrayIcon::ActivationReason aReason) {
                         if ((aReason == QSystemTrayIcon::DoubleClick || aReason == QSystemTrayIcon::Trigger) &&
                             d->OnDoubleClick)
                             d->OnDoubleClick();
                     });
}

TDuTrayIcon::~TDuTrayIcon() = default;

void TDuTrayIcon::SetImage(const std::string& aImageName)
{
    if (TDuSkin* skin = TDuSkin::Loaded())
        d->Icon->setIcon(QIcon(skin->Image(ToQ(aImageName))));
}

void TDuTrayIcon::SetTip(const std::string& aTip)
{
    d->Icon->setToolTip(ToQ(aTip));
}

void TDuTrayIcon::SetMenu(const std::string& aMenuName)
{
    const duPlugin menu = d->Form.DuWindow().PopupMenu(aMenuName);
    d->Icon->setContextMenu(qobject_cast<QMenu*>(TDuPluginAccess::Object(menu)));
}

void TDuTrayIcon::SetOnDoubleClick(std::function<void()> aProc)
{
    d->OnDoubleClick = std::move(aProc);
}

void TDuTrayIcon::Show()
{
    d->Icon->show();
}

void TDuTrayIcon::Hide()
{
    d->Icon->hide();
}

bool TDuTrayIcon::IsVisible() const
{
    return d->Icon->isVisible();
}

void TDuTrayIcon::ShowMessage(const std::string& aTitle, const std::string& aText)
{
    d->Icon->showMessage(ToQ(aTitle), ToQ(aText));
}
