#pragma once
// Texts too short to translate on their own (a lone letter, a sound) are held
// and go to the engine with the next longer text, joined by a line break.
// Short is measured in Shift-JIS bytes, as the ezTrans engine counts.
#include "platform/code_page_port.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

inline constexpr int kShiftJisCodePage = 932;

class HeldSentence {
public:
    // A text whose Shift-JIS form has at most `heldBytes` bytes is held.
    HeldSentence(CodePagePort& codePages, std::size_t heldBytes) : codePages_(codePages), heldBytes_(heldBytes) {}

    // The sentence to translate now: the held pieces, "\r\n", then `text`
    // (just `text` when nothing is held). nullopt while `text` is itself held.
    std::optional<std::u16string> Feed(std::u16string_view text);

    const std::u16string& Pending() const { return pending_; }
    void Clear() { pending_.clear(); }

private:
    CodePagePort& codePages_;
    std::size_t heldBytes_;
    std::u16string pending_;
};

} // namespace kx
