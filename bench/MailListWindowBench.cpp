// The mail window over a folder of 100,000 mails (a data folder made by
// `bench_mailmanager --make DIR`), warm cache, Release, headless: from a
// folder click until the first screen of rows is filled and painted, and
// until the whole listing is shown; the same for a change of sort order;
// a search until its matches are shown. Median of RUNS.
//
//   bench_maillist [DATA_DIR [RUNS]]
// Without a folder it makes one (bench_mailmanager, beside this program).
// bench/mail_list_window.sh sets the sqlite3 shell's figures beside these.
#include "Support/AccountManagers.h"
#include "Support/ScratchFolder.h"

#include "Runtime/AutoReleasePool.h"
#include "Ui/Mail/FrmMailListView.h"
#include "Ui/Utils/DuInternal.h"
#include "Ui/Utils/DuSkin.h"
#include "Ui/Utils/HtmlView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

double Median(std::vector<double> aValues)
{
    std::sort(aValues.begin(), aValues.end());
    return aValues.empty() ? 0 : aValues[aValues.size() / 2];
}

bool WaitListed(TfrmMailListView& aForm)
{
    QElapsedTimer timer;
    timer.start();
    while (!aForm.IsListed()) {
        if (timer.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Let the workers finish the rows in view, so runs do not overlap.
void Settle()
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 800) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

struct TFigures {
    std::vector<double> FirstScreen, Whole;
};

// aChange is the user's action; the figures from its start.
void Measure(TfrmMailListView& aForm, const std::function<void()>& aChange, TFigures& aFigures)
{
    QWidget* window = TUiFormAccess::Host(aForm);
    QElapsedTimer timer;
    timer.start();
    aChange();
    window->repaint();   // painted now, not when the loop next gets to it
    aFigures.FirstScreen.push_back(timer.nsecsElapsed() / 1e6);
    if (!WaitListed(aForm)) {
        std::fprintf(stderr, "the listing never came\n");
        std::exit(1);
    }
    window->repaint();
    aFigures.Whole.push_back(timer.nsecsElapsed() / 1e6);
    Settle();
}

} // namespace

int main(int argc, char** argv)
{
    std::unique_ptr<TScratchFolder> scratch;
    std::string data = argc > 1 ? argv[1] : std::string();
    if (data.empty()) {
        scratch = std::make_unique<TScratchFolder>("qm-bench-maillist");
        data = (scratch->Path() / "data").string();
        const auto maker = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "bench_mailmanager";
        std::string command = "'";
        command.append(maker.string()).append("' --make '").append(data).append("' >/dev/null");
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "could not make the mail folder with %s\n", maker.c_str());
            return 1;
        }
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    PrepareHtmlEngine();
    QApplication app(argc, argv);
    TRetainCountObjectAutoReleasePool pool;
    TAccountManagers managers(data);
    TDuWindowManager::SetSkinFolder(QUILLMAR_PRODUCT_SKIN);
    TRcResIdList* accounts = TAccountManager::AccountManager()->GetAccounts();
    if (accounts->Count() == 0) {
        std::fprintf(stderr, "no account in %s\n", data.c_str());
        return 1;
    }
    TRcResPath* account = TRcResPath::CreateAndAutoRelease({accounts->First()});

    auto form = TDuForm::New<TfrmMailListView>();
    form->Init();
    form->Show();
    form->SetCurrAccountResPath(account);
    WaitListed(*form);
    Settle();

    TFigures folderClick, sortChange, search;
    for (int i = 0; i < runs; ++i) {
        form->SwitchMode(mrlmTrash);
        WaitListed(*form);
        Settle();
        Measure(*form, [&] { form->SwitchMode(mrlmReceive); }, folderClick);
        Measure(*form, [&] { form->SetSortMode(gmosmSubject); }, sortChange);
        Measure(*form, [&] { form->SetSortMode(gmosmDefault); }, sortChange);
        Measure(*form, [&] { form->Search("Quotation 4242"); }, search);
        Measure(*form, [&] { form->Search(""); }, folderClick);
    }
    const int rows = form->MailListAdapter()->Count();
    std::printf("%-34s %12s %12s\n", "work (100,000 mails)", "first_ms", "whole_ms");
    std::printf("%-34s %12.1f %12.1f\n", "folder click", Median(folderClick.FirstScreen), Median(folderClick.Whole));
    std::printf("%-34s %12.1f %12.1f\n", "sort change", Median(sortChange.FirstScreen), Median(sortChange.Whole));
    std::printf("%-34s %12.1f %12.1f\n", "search \"Quotation 4242\"", Median(search.FirstScreen), Median(search.Whole));
    std::printf("rows listed: %d\n", rows);
    form->UnInit();
    form.reset();
    return 0;
}
