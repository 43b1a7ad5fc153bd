// AppendLog and AppendLineToView against a model view that wraps lines at a
// width taken from the input: each call must add exactly the text and its
// separator at the end, or replace everything in replace mode.
#include "capture/append_log.h"
#include "fuzz_check.h"
#include "fake_log_view.h"

#include <cstddef>
#include <cstdint>

using kx::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    kx::testing::FakeLogView view(1 + data[0] % 40);
    kx::AppSettings settings;
    std::size_t i = 1;
    while (i < size) {
        const std::uint8_t op = data[i++];
        std::size_t length = op >> 3;
        std::u16string text;
        for (; length > 0 && i < size; --length, ++i) {
            const std::uint8_t b = data[i];
            text.push_back(b == 1 ? u'\r' : b == 2 ? u'\n' : b < 0x80 ? static_cast<char16_t>(b) : static_cast<char16_t>(0x3000 + b));
        }
        settings.uot = (op & 1) ? 1 : 0;
        settings.Ancete = (op & 2) ? 1 : 0;
        const std::u16string before = view.text;
        if (op & 4) {
            kx::AppendLineToView(view, text);
            Check(view.text.size() == before.size() + text.size() + 2);
            Check(view.text.find(text, before.empty() ? 0 : before.size() - std::min<std::size_t>(before.size(), 2)) !=
                  std::u16string::npos);
            continue;
        }
        kx::AppendLog(view, settings, text);
        if (text.empty()) {
            Check(view.text == before);
        } else if (settings.ReplaceMode()) {
            Check(view.text == text);
        } else {
            // The old text stays a prefix (less a closing line break, which
            // stays at the very end) and the new text follows a separator.
            const bool closed = before.size() >= 2 && before.ends_with(u"\r\n");
            const std::u16string kept = closed ? before.substr(0, before.size() - 2) : before;
            Check(view.text.compare(0, kept.size(), kept) == 0);
            const std::size_t added = view.text.size() - before.size();
            Check(added == text.size() + 2 || added == text.size() + 4);
            Check(view.text.find(text, kept.size()) != std::u16string::npos);
            if (closed)
                Check(view.text.ends_with(u"\r\n"));
        }
    }
    return 0;
}
