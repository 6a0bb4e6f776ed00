// The text a reader sees in a page's body: the text after <body> (the
// whole page when it has none) in document order, without tags, comments
// and the content of head, title, script, style, template, noscript and
// textarea elements; character references and the common named ones
// decoded. One pass, in time linear in the page whatever its nesting.
// Used for the one-line summary of a mail.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// At most aMaxCodePoints code points of it (UTF-8 is never cut inside a
// character); the walk stops as soon as that many are gathered.
std::string HtmlBodyText(std::string_view aHtml, std::size_t aMaxCodePoints);
