// Replacing a page's "cid:" references to its inline pictures, in one pass
// over the page whatever the number of pictures (a newsletter may carry
// thousands, in a page of a megabyte).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A picture's Content-ID (without "<" and ">") and what its references
// become.
struct TCidReplacement {
    std::string ContentId;
    std::string With;
};

enum class TCidQuotes {
    Keep,      // only the reference itself is replaced
    Replace,   // a reference quoted as a whole ("cid:…" or 'cid:…') loses its quotes too
};

// Whether aChar could continue a Content-ID: a reference ends before any
// other character.
bool ContinuesContentId(char aChar);

// Every "cid:" reference (ASCII case ignored, in the scheme and the id) to
// one of aReplacements becomes its With: a bare one only where the next
// character could not continue the id, a quoted one (with TCidQuotes::
// Replace) when the quotes hold exactly the id. Where two entries could
// match at one place, the earlier entry wins; an id listed twice keeps its
// first entry. Everything else stays byte for byte.
std::string ReplaceCidReferences(std::string_view aHtml, const std::vector<TCidReplacement>& aReplacements,
                                 TCidQuotes aQuotes);
