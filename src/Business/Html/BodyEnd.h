// Where a page's body ends, found with gumbo, so a fragment can be added at
// the end of the body by splicing: everything else in the page stays byte
// for byte as it was.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The offset of the body's written end tag; without one, of the html
// element's end tag; without either, the end of the page.
std::size_t BodyEndOffset(std::string_view aHtml);

// aHtml with aFragment inserted at BodyEndOffset.
std::string InsertAtBodyEnd(std::string_view aHtml, std::string_view aFragment);
