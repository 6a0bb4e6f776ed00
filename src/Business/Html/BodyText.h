// The text a reader sees in a page's body: every text node under <body>
// in document order, entities decoded, without the content of script,
// style and template elements. Used for the one-line summary of a mail.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// At most aMaxCodePoints code points of it (UTF-8 is never cut inside a
// character); the walk stops as soon as that many are gathered.
std::string HtmlBodyText(std::string_view aHtml, std::size_t aMaxCodePoints);
