// The office paste filter: clipboard HTML from office programs carries its
// pictures twice, as VML inside conditional comments (which an HTML editor
// cannot show) and as plain HTML for everything else. The filter keeps the
// plain alternative of every such block and rebuilds the clipboard header
// ("Version", "StartHTML", "EndHTML", "StartFragment", "EndFragment") with
// the new byte offsets. Anything else passes through unchanged.
//
// Every offset read from the data is checked against the data: nothing is
// read outside it, whatever the header says.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The rewritten clipboard data, or nothing when the data is not office HTML
// with VML blocks (then the data is to be used as it is).
std::optional<std::string> FilterOfficeClipboardHtml(std::string_view aData);

// The fragment of clipboard data (from StartFragment to EndFragment), or
// nothing when the header does not name one inside the data.
std::optional<std::string> ClipboardHtmlFragment(std::string_view aData);

// Just the rewriting of the VML blocks, for HTML without the clipboard
// header (as desktops hand over "text/html"); nothing when there is no
// office namespace or no VML block.
std::optional<std::string> FilterOfficeHtml(std::string_view aHtml);
