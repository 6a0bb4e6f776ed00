#include "HtmlEditor.h"

#include "DuInternal.h"
#include "ExternalOpener.h"
#include "MailWebPage.h"
#include "OfficeHtmlPasteFilter.h"

#include "Business/AccountMail/MailComplex.h"
#include "Runtime/Log.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QWebEngineScript>
#include <QWebEngineView>

namespace {

// Clipboard HTML as Windows programs hand it over (with its header).
const QString kWindowsHtmlFormat = QStringLiteral("application/x-qt-windows-mime;value=\"HTML Format\"");

// A value as a script literal.
QString ScriptLiteral(const QString& aText)
{
    const QByteArray json = QJsonDocument(QJsonArray{aText}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

const char* CommandName(THtmlEditCommand aCommand)
{
    switch (aCommand) {
    case THtmlEditCommand::Bold: return "bold";
    case THtmlEditCommand::Italic: return "italic";
    case THtmlEditCommand::Underline: return "underline";
    case THtmlEditCommand::FontName: return "fontName";
    case THtmlEditCommand::FontSize: return "fontSize";
    case THtmlEditCommand::ForeColor: return "foreColor";
    case THtmlEditCommand::OrderedList: return "insertOrderedList";
    case THtmlEditCommand::UnorderedList: return "insertUnorderedList";
    case THtmlEditCommand::AlignLeft: return "justifyLeft";
    case THtmlEditCommand::AlignCenter: return "justifyCenter";
    case THtmlEditCommand::AlignRight: return "justifyRight";
    case THtmlEditCommand::Link: return "createLink";
    case THtmlEditCommand::HorizontalLine: return "insertHorizontalRule";
    case THtmlEditCommand::Undo: return "undo";
    case THtmlEditCommand::Redo: return "redo";
    }
    return "";
}

bool ValueAllowed(THtmlEditCommand aCommand, const std::string& aValue)
{
    switch (aCommand) {
    case THtmlEditCommand::FontSize:
        return aValue.size() == 1 && aValue[0] >= '1' && aValue[0] <= '7';
    case THtmlEditCommand::Link:
        return IsExternalUrlAllowed(aValue);
    case THtmlEditCommand::FontName:
    case THtmlEditCommand::ForeColor:
        return !aValue.empty() && aValue.size() < 200;
    default:
        return true;
    }
}

class THtmlEditorImpl final : public QObject, public IHtmlEditor {
public:
    explicit THtmlEditorImpl(QWidget* aHost)
    {
        FView = new QWebEngineView(aHost);
        FView->setAcceptDrops(true);
        FGuard = new TMailRequestGuard(FView);
        // Links in a page being written are text, not ways out.
        FPage = new TMailPage(MailProfile(), FView, {});
        FPage->setUrlRequestInterceptor(FGuard);
        FView->setPage(FPage);
        FPage->FOnOwnLoadFinished = [this](bool ok) {
            if (ok)
                RunOwn(QStringLiteral("document.designMode = 'on'; document.execCommand('styleWithCSS', false, false);"));
            WatchInput();
            if (FOnLoadFinished)
                FOnLoadFinished(ok);
        };
        // Our own menu: the engine's would paste around the filter.
        FView->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(FView, &QWidget::customContextMenuRequested, this, [this](const QPoint& aAt) {
            QMenu menu(FView);
            menu.addAction(FPage->action(QWebEnginePage::Cut));
            menu.addAction(FPage->action(QWebEnginePage::Copy));
            menu.addAction(QStringLiteral("粘贴"), this, [this] { Paste(); });
            menu.addSeparator();
            menu.addAction(FPage->action(QWebEnginePage::SelectAll));
            menu.exec(FView->mapToGlobal(aAt));
        });
        FillHost(aHost, FView);
    }
    ~THtmlEditorImpl() override { delete FView.data(); }

    // Every call does nothing once the window holding the editor has gone.
    void LoadHtmlFile(const std::filesystem::path& aPage, const std::vector<std::filesystem::path>& aAllowedFiles) override
    {
        if (!FView)
            return;
        FInserted.clear();
        FGuard->SetPage(aPage, aAllowedFiles);
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(aPage.string()));
        FPage->LoadOwn(url);
    }
    void SetOnLoadFinished(std::function<void(bool)> aProc) override { FOnLoadFinished = std::move(aProc); }

    bool ExecCommand(THtmlEditCommand aCommand, const std::string& aValue) override
    {
        if (!FView || !ValueAllowed(aCommand, aValue))
            return false;
        RunOwn(QStringLiteral("document.execCommand(%1, false, %2);")
                   .arg(ScriptLiteral(QString::fromLatin1(CommandName(aCommand))),
                        ScriptLiteral(QString::fromStdString(aValue))));
        return true;
    }

    bool InsertPicture(const std::filesystem::path& aFile) override
    {
        std::error_code ec;
        const QString file = QString::fromStdString(aFile.string());
        if (!FView || !std::filesystem::is_regular_file(aFile, ec) || QImageReader::imageFormat(file).isEmpty())
            return false;
        FGuard->AllowFile(aFile);
        FInserted.push_back(aFile);
        RunOwn(QStringLiteral("document.execCommand('insertImage', false, %1);")
                   .arg(ScriptLiteral(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded))));
        return true;
    }
    std::vector<std::filesystem::path> InsertedFiles() const override { return FInserted; }

    void Paste() override
    {
        if (const QMimeData* data = QApplication::clipboard()->mimeData())
            InsertMime(data);
    }

    void InsertHtml(const std::string& aHtml) override
    {
        if (!FView)
            return;
        const auto filtered = FilterOfficeHtml(aHtml);
        RunOwn(QStringLiteral("document.execCommand('insertHTML', false, %1);")
                   .arg(ScriptLiteral(QString::fromStdString(filtered.value_or(aHtml)))));
    }

    void GetHtml(std::function<void(const std::string&)> aDone) override
    {
        if (!FView) {
            if (aDone)
                aDone({});
            return;
        }
        // The doctype as the page has it, then the whole tree.
        FPage->runJavaScript(QStringLiteral("(function(){var d=document.doctype;"
                                            "return (d ? '<!DOCTYPE ' + d.name + '>\\n' : '') + "
                                            "document.documentElement.outerHTML;})()"),
                             QWebEngineScript::ApplicationWorld, [aDone](const QVariant& aHtml) {
                                 if (aDone)
                                     aDone(aHtml.toString().toStdString());
                             });
    }

    void SetFocus() override
    {
        if (FView)
            FView->setFocus(Qt::OtherFocusReason);
    }

    void PlaceCaretAt(const std::string& aElementId, std::function<void(bool)> aDone) override
    {
        if (!FView) {
            if (aDone)
                aDone(false);
            return;
        }
        SetFocus();
        FPage->runJavaScript(QStringLiteral("(function(id){var e=document.getElementById(id);if(!e)return false;"
                                            // An empty element has no line for a caret: a
                                            // placeholder break gives it one.
                                            "if(!e.firstChild&&e.tagName!=='BR'&&e.tagName!=='IMG')"
                                            "e.appendChild(document.createElement('br'));"
                                            "var r=document.createRange();r.selectNodeContents(e);r.collapse(true);"
                                            "var s=window.getSelection();s.removeAllRanges();s.addRange(r);"
                                            "e.scrollIntoView({block:'nearest'});return true;})(%1)")
                                 .arg(ScriptLiteral(QString::fromStdString(aElementId))),
                             QWebEngineScript::ApplicationWorld, [aDone](const QVariant& aFound) {
                                 if (aDone)
                                     aDone(aFound.toBool());
                             });
    }

protected:
    // Pastes and drops reach the page only through the filter.
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override
    {
        switch (aEvent->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(aEvent);
            const bool paste = key->matches(QKeySequence::Paste) ||
                               (key->key() == Qt::Key_Insert && key->modifiers() == Qt::ShiftModifier);
            if (!paste)
                break;
            if (aEvent->type() == QEvent::KeyPress)
                Paste();
            aEvent->accept();
            return true;
        }
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(aEvent);
            if (Insertable(drag->mimeData())) {
                drag->acceptProposedAction();
                return true;
            }
            aEvent->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(aEvent);
            const QPoint at = drop->position().toPoint();
            // The caret where the drop fell, then the same as a paste.
            RunOwn(QStringLiteral("(function(x,y){var r=document.caretRangeFromPoint(x,y);if(!r)return;"
                                  "var s=window.getSelection();s.removeAllRanges();s.addRange(r);})(%1,%2)")
                       .arg(at.x())
                       .arg(at.y()));
            InsertMime(drop->mimeData());
            drop->acceptProposedAction();
            return true;
        }
        default:
            break;
        }
        return QObject::eventFilter(aWatched, aEvent);
    }

private:
    void RunOwn(const QString& aScript) { FPage->runJavaScript(aScript, QWebEngineScript::ApplicationWorld); }

    // The widget that takes the engine's input changes with the page; it
    // is watched whichever it is.
    void WatchInput()
    {
        QWidget* input = FView->focusProxy();
        if (input && input != FWatched) {
            FWatched = input;
            input->installEventFilter(this);
        }
    }

    static bool Insertable(const QMimeData* aData)
    {
        return aData && (aData->hasHtml() || aData->hasText() || aData->hasImage() || aData->hasUrls() ||
                         aData->hasFormat(kWindowsHtmlFormat));
    }

    void InsertMime(const QMimeData* aData)
    {
        if (!aData || !FView)
            return;
        // Office programs on Windows: the clipboard form with its header,
        // filtered as a whole, then its fragment.
        if (aData->hasFormat(kWindowsHtmlFormat)) {
            const QByteArray raw = aData->data(kWindowsHtmlFormat);
            const std::string data(raw.constData(), static_cast<std::size_t>(raw.size()));
            const auto filtered = FilterOfficeClipboardHtml(data);
            if (auto fragment = ClipboardHtmlFragment(filtered.value_or(data))) {
                // The fragment's own bounds are no part of the mail.
                for (const std::string marker : {"<!--StartFragment-->", "<!--EndFragment-->"})
                    for (std::size_t at; (at = fragment->find(marker)) != std::string::npos;)
                        fragment->erase(at, marker.size());
                InsertHtml(*fragment);
                return;
            }
        }
        if (aData->hasHtml()) {
            InsertHtml(aData->html().toStdString());
            return;
        }
        if (aData->hasImage()) {
            const QImage image = qvariant_cast<QImage>(aData->imageData());
            try {
                const auto file = TRcMailComplex::GetTempFileName("pasted.png");
                if (!image.isNull() && image.save(QString::fromStdString(file.string()), "PNG")) {
                    InsertPicture(file);
                    return;
                }
            } catch (const std::exception& e) {
                // No working folder: the picture cannot be kept; the text goes in.
                TLog::O(lolWorn, "粘贴的图片不能保存：%s", {e.what()});
            }
        }
        if (aData->hasUrls()) {
            bool any = false;
            for (const QUrl& url : aData->urls())
                if (url.isLocalFile())
                    any = InsertPicture(url.toLocalFile().toStdString()) || any;
            if (any)
                return;
        }
        if (aData->hasText())
            RunOwn(QStringLiteral("document.execCommand('insertText', false, %1);").arg(ScriptLiteral(aData->text())));
    }

    QPointer<QWebEngineView> FView;
    TMailRequestGuard* FGuard = nullptr;
    TMailPage* FPage = nullptr;
    QPointer<QWidget> FWatched;
    std::vector<std::filesystem::path> FInserted;
    std::function<void(bool)> FOnLoadFinished;
};

} // namespace

std::unique_ptr<IHtmlEditor> CreateHtmlEditor(const duPlugin& aHost)
{
    return std::make_unique<THtmlEditorImpl>(TDuPluginAccess::Widget(aHost));
}
