// Any bytes handed to the office paste filter: it may not crash, read
// outside its input or hang, and when it rewrites the data, the header it
// writes must point at the fragment comments of the data it returns.
// Built with libFuzzer by ./build.sh fuzz; in the test suite the same entry
// point replays the corpus.
#include "FuzzEntry.h"

#include "Ui/Utils/OfficeHtmlPasteFilter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::size_t Number(const std::string& aData, std::size_t aAt)
{
    if (aAt + 10 > aData.size())
        std::abort();
    std::size_t value = 0;
    for (std::size_t i = aAt; i < aAt + 10; ++i) {
        if (aData[i] < '0' || aData[i] > '9')
            std::abort();
        value = value * 10 + static_cast<std::size_t>(aData[i] - '0');
    }
    return value;
}

} // namespace

QUILLMAR_FUZZ_ENTRY(FuzzPasteFilter)
{
    const std::string_view input(reinterpret_cast<const char*>(aData), aSize);
    if (const auto out = FilterOfficeClipboardHtml(input)) {
        const std::string& data = *out;
        if (data.rfind("Version:1.0\r\nStartHTML:", 0) != 0 || Number(data, 23) != 107)
            std::abort();
        const std::size_t endHtml = Number(data, 43);
        const std::size_t startFragment = Number(data, 69);
        const std::size_t endFragment = Number(data, 93);
        if (endHtml != data.size() || startFragment < 107 || startFragment + 20 > endFragment ||
            endFragment > endHtml || data.compare(startFragment, 20, "<!--StartFragment-->") != 0 ||
            data.compare(endFragment - 18, 18, "<!--EndFragment-->") != 0)
            std::abort();
    }
    if (const auto fragment = ClipboardHtmlFragment(input))
        if (fragment->size() > input.size())
            std::abort();
    if (const auto html = FilterOfficeHtml(input))
        if (html->size() > input.size())
            std::abort();
    return 0;
}
