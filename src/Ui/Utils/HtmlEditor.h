// IHtmlEditor: the editor of a mail's HTML, placed into a plugin of a skin
// window.
//
// The page being edited comes partly from strangers (the mail being
// answered or forwarded), so it is held like the mail view holds it: the
// page's own scripts never run, nothing remote is loaded, local files only
// when they are the page's own or pictures the user inserted, and nothing
// navigates. The editor's commands run in a script world of our own, out of
// the page's reach. What is pasted or dropped goes through the office paste
// filter first.
//
// Screens see this header only: no toolkit type appears.
#pragma once

#include "DuPlugin.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class THtmlEditCommand {
    Bold,
    Italic,
    Underline,
    FontName,        // value: a font family
    FontSize,        // value: "1" to "7"
    ForeColor,       // value: a colour, "#rrggbb"
    OrderedList,
    UnorderedList,
    AlignLeft,
    AlignCenter,
    AlignRight,
    Link,            // value: an http, https or mailto address
    HorizontalLine,
    Undo,
    Redo,
};

class IHtmlEditor {
public:
    virtual ~IHtmlEditor() = default;

    // A page of our own making to edit (a mail being written, a template),
    // with the local files it may show; editing starts once it has loaded.
    virtual void LoadHtmlFile(const std::filesystem::path& aPage,
                              const std::vector<std::filesystem::path>& aAllowedFiles) = 0;
    // Called on the GUI thread when a page has loaded and can be edited.
    virtual void SetOnLoadFinished(std::function<void(bool aOk)> aProc) = 0;

    // A command on the selection (or at the caret). False when refused at
    // once: a value the command cannot take (a link that is not http,
    // https or mailto; a size outside 1 to 7).
    virtual bool ExecCommand(THtmlEditCommand aCommand, const std::string& aValue = {}) = 0;
    // A picture from disk at the caret; false when the file is not a
    // picture. It becomes an inline part when the mail is saved.
    virtual bool InsertPicture(const std::filesystem::path& aFile) = 0;
    // The pictures the user inserted, for the mail's allowed picture sources.
    virtual std::vector<std::filesystem::path> InsertedFiles() const = 0;
    // The clipboard at the caret: HTML filtered, a picture as an inserted
    // picture, else the plain text.
    virtual void Paste() = 0;
    // HTML at the caret, filtered as a paste is.
    virtual void InsertHtml(const std::string& aHtml) = 0;

    // The whole page as it stands, later, on the GUI thread.
    virtual void GetHtml(std::function<void(const std::string& aHtml)> aDone) = 0;

    // Keyboard focus to the page.
    virtual void SetFocus() = 0;
    // Focus, and the caret at the start of the element with that id (a
    // marker of the page); aDone(false) when there is none.
    virtual void PlaceCaretAt(const std::string& aElementId, std::function<void(bool aFound)> aDone = {}) = 0;
};

// An editor filling aHost (a container element of a skin window); it lives
// until the returned object is destroyed or its window goes.
std::unique_ptr<IHtmlEditor> CreateHtmlEditor(const duPlugin& aHost);
