// The mail view: the time from showing a 1 MB HTML mail with 20 inline
// pictures to the end of its load (the first, with the engine starting,
// and then warm), and the memory of one view at rest (this process and the
// engine's renderer processes, proportional set sizes).
//
//   bench_htmlview [runs] [table|text]
#include "Support/ScratchFolder.h"

#include "Business/AccountMail/MailComplex.h"
#include "Business/Data/DataFolder.h"
#include "Business/Data/TempFileManager.h"
#include "Business/Data/WholeFile.h"
#include "Runtime/AutoReleasePool.h"
#include "Ui/Utils/DuForm.h"
#include "Ui/Utils/DuSkin.h"
#include "Ui/Utils/HtmlView.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>
#include <QThread>
#include <QWebEngineView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <vector>

namespace {

class THostForm : public TDuForm {
public:
    duPlugin Host;

protected:
    std::string GetDuWindowName() const override { return "html_wnd"; }
    void BindingDuPlugin() override { Host = GetDuPluginByName("html_host"); }
    void RegisterDuPlugin() override {}
};

std::string NoisyPng(int aSeed)
{
    QImage image(320, 240, QImage::Format_RGB32);
    QRandomGenerator random(static_cast<quint32>(aSeed));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x + aSeed * 40) % 256, (y * 2) % 256, static_cast<int>(random.bounded(64))));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// A message of about 1 MB of HTML (a long price list) and 20 pictures.
std::string BigMail(bool aTable)
{
    std::string html = "<html><body><h1>报价单 Price list</h1>";
    for (int i = 0; i < 20; ++i)
        html += "<p><img src=\"cid:p" + std::to_string(i) + "@bench\" width=\"320\" height=\"240\"></p>";
    html += aTable ? "<table border=\"1\">" : "<div>";
    for (int row = 0; html.size() < 1024 * 1024; ++row)
        html += aTable ? "<tr><td>QM-" + std::to_string(row) + "</td><td>不锈钢阀门 stainless valve DN" +
                             std::to_string(row % 300) + "</td><td>12." + std::to_string(row % 100) + " USD</td><td>" +
                             "交货期 30 天，FOB 上海</td></tr>"
                       : "<p>QM-" + std::to_string(row) + " 不锈钢阀门 stainless valve DN" + std::to_string(row % 300) +
                             "，12." + std::to_string(row % 100) + " USD，交货期 30 天，FOB 上海</p>";
    html += aTable ? "</table></body></html>" : "</div></body></html>";
    std::string mail = "From: Li Lei <lilei@example.cn>\r\nTo: Bob <bob@example.com>\r\nSubject: Price list\r\n"
                       "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b1\"\r\n\r\n"
                       "--b1\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
                       html + "\r\n";
    for (int i = 0; i < 20; ++i) {
        const std::string png = QByteArray::fromStdString(NoisyPng(i)).toBase64().toStdString();
        mail += "--b1\r\nContent-Type: image/png; name=\"p" + std::to_string(i) + ".png\"\r\nContent-ID: <p" +
                std::to_string(i) + "@bench>\r\nContent-Transfer-Encoding: base64\r\n\r\n";
        for (std::size_t k = 0; k < png.size(); k += 76)
            mail += png.substr(k, 76) + "\r\n";
    }
    return mail + "--b1--\r\n";
}

// Proportional set size of a process, in KiB.
long PssKb(int aPid)
{
    std::ifstream in("/proc/" + std::to_string(aPid) + "/smaps_rollup");
    std::string key;
    long value = 0;
    while (in >> key) {
        if (key == "Pss:") {
            in >> value;
            return value;
        }
        in.ignore(4096, '\n');
    }
    return 0;
}

// The engine's processes under this one (its zygote and renderers).
std::vector<int> Descendants(int aPid)
{
    std::vector<int> all;
    std::vector<int> parents{aPid};
    while (!parents.empty()) {
        const int parent = parents.back();
        parents.pop_back();
        std::ifstream children("/proc/" + std::to_string(parent) + "/task/" + std::to_string(parent) + "/children");
        int child = 0;
        while (children >> child) {
            all.push_back(child);
            parents.push_back(child);
        }
    }
    return all;
}

void Wait(const std::function<bool()>& aDone, int aMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!aDone() && timer.elapsed() < aMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TScratchFolder runtime("qm-bench-rt", "/tmp");
    if (!std::getenv("XDG_RUNTIME_DIR"))
        setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    PrepareHtmlEngine();
    QApplication app(argc, argv);
    TRetainCountObjectAutoReleasePool pool;
    TScratchFolder data("qm-bench-html");
    SetCurrentDataPath(data.Path());
    TTempFileManager::BuildInstance();
    TDuWindowManager::SetSkinFolder(QUILLMAR_TEST_SKIN);

    const auto file = data.Path() / "big.eml";
    // "text": the megabyte as paragraphs instead of one long table.
    const bool table = !(argc > 2 && std::string(argv[2]) == "text");
    WriteWholeFile(file, BigMail(table));
    auto* mail = TRcMailComplex::CreateAndAutoRelease();
    mail->Raw()->FFileName = file;
    mail->BuildOther();
    const auto pageBytes = std::filesystem::file_size(mail->DisplayPage());

    const long appPss = PssKb(getpid());
    auto form = TDuForm::New<THostForm>();
    form->SetBounds(0, 0, 1024, 768);
    form->Show();
    auto view = CreateHtmlView(form->Host);
    int loaded = -1;
    view->SetOnLoadFinished([&](bool aOk) { loaded = aOk ? 1 : 0; });

    std::vector<double> times;
    for (int i = 0; i <= runs; ++i) {
        if (i > 0) {
            loaded = -1;
            view->Clear();
            Wait([&] { return loaded >= 0; }, 10000);
        }
        loaded = -1;
        const auto start = std::chrono::steady_clock::now();
        view->ShowMail(mail);
        Wait([&] { return loaded >= 0; }, 60000);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (loaded != 1) {
            std::fprintf(stderr, "bench_htmlview: the page did not load\n");
            return 1;
        }
        times.push_back(ms);
    }
    // At rest: the page shown, nothing happening.
    Wait([] { return false; }, 2000);
    long enginePss = 0;
    for (int pid : Descendants(getpid()))
        enginePss += PssKb(pid);
    const long viewPss = PssKb(getpid());

    const double cold = times.front();
    std::vector<double> warm(times.begin() + 1, times.end());
    std::sort(warm.begin(), warm.end());
    std::printf("mail view: a %.2f MB page (%s) with 20 inline pictures (%d runs)\n", pageBytes / 1048576.0,
                table ? "one long table" : "paragraphs", runs);
    std::printf("  first load (engine starting)  %8.0f ms\n", cold);
    std::printf("  load to loadFinished, warm    %8.0f ms median, %.0f min, %.0f max\n", warm[warm.size() / 2],
                warm.front(), warm.back());
    std::printf("  memory at rest: this process %ld MB (%+ld MB for the view), engine processes %ld MB\n",
                viewPss / 1024, (viewPss - appPss) / 1024, enginePss / 1024);
    // The peer: a bare view of the engine, default settings, the same page.
    std::vector<double> bare;
    {
        QWebEngineView plain;
        plain.resize(1024, 768);
        plain.show();
        bool done = false;
        QObject::connect(&plain, &QWebEngineView::loadFinished, [&](bool) { done = true; });
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(mail->DisplayPage().string()));
        for (int i = 0; i <= runs; ++i) {
            done = false;
            plain.setHtml(QString());
            Wait([&] { return done; }, 10000);
            done = false;
            const auto start = std::chrono::steady_clock::now();
            plain.load(url);
            Wait([&] { return done; }, 60000);
            if (i > 0)
                bare.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    }
    std::sort(bare.begin(), bare.end());
    std::printf("  peer: a bare engine view, warm %8.0f ms median (ours %.2fx)\n", bare[bare.size() / 2],
                warm[warm.size() / 2] / bare[bare.size() / 2]);
    view.reset();
    form.reset();
    TTempFileManager::ReleaseInstance();
    return 0;
}
