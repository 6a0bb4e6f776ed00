#include "DuForm.h"

#include "DuInternal.h"
#include "DuSkin.h"

#include "Runtime/Errors.h"
#include "Runtime/TextFormat.h"
#include "Runtime/TypeName.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QScreen>

#include <cstdlib>
#include <typeinfo>

namespace {

std::string ClassNameOf(const std::type_info& aType)
{
    std::string name = DemangledName(aType);
    if (const auto colons = name.rfind("::"); colons != std::string::npos)
        name.erase(0, colons + 2);
    return name;
}

} // namespace

void TFormHost::reject()
{
    // Escape and the close button of a modal window end its loop; a
    // window that asked to stay open stays.
    if (FOnCloseRequest && !isModal() && !FOnCloseRequest())
        return;
    done(TUiFormPrivate::CloseResultOf(*FForm));
}

void TFormHost::closeEvent(QCloseEvent* aEvent)
{
    if (FOnCloseRequest && !isModal() && !FOnCloseRequest()) {
        aEvent->ignore();
        return;
    }
    QDialog::closeEvent(aEvent);
}

// ---- TUiForm -------------------------------------------------------------------

TUiForm::TUiForm() : d(std::make_unique<TUiFormPrivate>())
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw Exception("Direct UI 窗体管理器没有初始化");
    d->Host = std::make_unique<TFormHost>(this);
    d->Waker = std::make_unique<QObject>();
    // Runs on whichever thread appended; the call itself lands on the GUI
    // thread, where the waker lives.
    FDelayRunableList = std::make_unique<TDelayRunableQueue>([this] {
        QMetaObject::invokeMethod(
            d->Waker.get(), [this] { FDelayRunableList->RunDelayRunablesLoggingErrors(); }, Qt::QueuedConnection);
    });
}

TUiForm::~TUiForm()
{
    // The queue runs what is left while the window still stands.
    FDelayRunableList.reset();
    d.reset();
}

void TUiForm::AppendDelayRunable(IRunable* aRunable)
{
    FDelayRunableList->AppendDelayRunable(aRunable);
}

void TUiForm::AppendDelayBlock(std::function<void()> aBlock)
{
    FDelayRunableList->AppendDelayBlock(std::move(aBlock));
}

void TUiForm::Show()
{
    d->Host->show();
}

void TUiForm::Hide()
{
    d->Host->hide();
}

void TUiForm::Close()
{
    d->Host->close();
}

bool TUiForm::IsVisible() const
{
    return d->Host->isVisible();
}

int TUiForm::ShowModal()
{
    return d->Host->exec();
}

void TUiForm::ShowAsPopup(int aLeft, int aTop)
{
    d->Host->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    d->Host->move(aLeft, aTop);
    d->Host->show();
}

void TUiForm::Minimize()
{
    d->Host->showMinimized();
}

void TUiForm::BringToFront()
{
    d->Host->setWindowState(d->Host->windowState() & ~Qt::WindowMinimized);
    d->Host->show();
    d->Host->raise();
    d->Host->activateWindow();
}

void TUiForm::SetOnCloseRequest(std::function<bool()> aProc)
{
    d->Host->SetOnCloseRequest(std::move(aProc));
}

void TUiForm::SetModalResult(int aResult)
{
    d->Host->done(aResult);
}

void TUiForm::SetCaption(const std::string& aCaption)
{
    d->Host->setWindowTitle(ToQ(aCaption));
}

std::string TUiForm::Caption() const
{
    return FromQ(d->Host->windowTitle());
}

int TUiForm::Left() const
{
    return d->Host->x();
}

int TUiForm::Top() const
{
    return d->Host->y();
}

int TUiForm::Width() const
{
    return d->Host->width();
}

int TUiForm::Height() const
{
    return d->Host->height();
}

void TUiForm::SetBounds(int aLeft, int aTop, int aWidth, int aHeight)
{
    d->Host->setGeometry(aLeft, aTop, aWidth, aHeight);
}

void TUiForm::Invalidate()
{
    d->Host->update();
}

bool TUiForm::SaveScreenshot(const std::filesystem::path& aPngFile) const
{
    d->Host->ensurePolished();
    if (QLayout* layout = d->Host->layout())
        layout->activate();
    return d->Host->grab().save(QString::fromStdString(aPngFile.string()), "PNG");
}

// ---- TDuForm ---------------------------------------------------------------------

TDuForm::TDuForm() : FDuWindow(std::make_unique<TDuWindow>()) {}

TDuForm::~TDuForm() = default;

void TDuForm::Create()
{
    std::string name = GetDuWindowName();
    if (name.empty())
        name = FormName();
    if (name.empty())
        name = ClassNameOf(typeid(*this));
    FDuWindow->SetNotifySink([this](duPlugin aPlugin, const duNotify& aNotify) { DirectUiNotifyProc(aPlugin, aNotify); });
    FDuWindow->Init(this, name);

    // The window's bounds come from its definition; -1 centres it.
    const TDuRect bounds = FDuWindow->DefinedBounds();
    int left = bounds.Left, top = bounds.Top;
    if (left == -1 || top == -1) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->geometry() : QRect();
        if (left == -1)
            left = area.x() + (area.width() - bounds.Width()) / 2;
        if (top == -1)
            top = area.y() + (area.height() - bounds.Height()) / 2;
    }
    SetBounds(left, top, bounds.Width(), bounds.Height());

    BindingDuPlugin();
    RegisterDuPlugin();
}

void TDuForm::DirectUiNotifyProc(duPlugin aDuPlugin, const duNotify& aDuNotify)
{
    FDuWindow->DirectUiNotifyProc(aDuPlugin, aDuNotify);
}

void TDuForm::BindingDuPlugin()
{
    throw Exception("必须重载BindingDuPlugin方法");
}

void TDuForm::RegisterDuPlugin()
{
    throw Exception("必须重载RegisterDuPlugin方法");
}

int TDuForm::GetTextWidthForStyle(const std::string& aStyle, const std::string& aStr)
{
    return TDuResManager::GetTextWidth(aStyle, aStr);
}

std::string TDuForm::GetgoodStringOfDate(TDateTime aDateTime)
{
    return ::GetgoodStringOfDate(aDateTime, Now());
}

std::string GetgoodStringOfDate(TDateTime aDateTime, TDateTime aNow)
{
    if (aDateTime == 0)
        return {};
    const TDateTimeParts date = DecodeDateTime(aDateTime);
    const TDateTimeParts now = DecodeDateTime(aNow);
    if (date.Year != now.Year)
        return FormatText("%d年%d月%d日", {date.Year, date.Month, date.Day});
    if (date.Month == now.Month && date.Day == now.Day)
        return FormatText("今天 %d:%d", {date.Hour, date.Minute});
    // Only within the month: the first of a month shows the day before as a date.
    if (date.Month == now.Month && date.Day == now.Day - 1)
        return FormatText("昨天 %d:%d", {date.Hour, date.Minute});
    return FormatText("%d月%d日", {date.Month, date.Day});
}
