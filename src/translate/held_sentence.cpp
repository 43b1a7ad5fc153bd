#include "translate/held_sentence.h"

#include <utility>

namespace kx {

std::optional<std::u16string> HeldSentence::Feed(std::u16string_view text)
{
    if (codePages_.FromWide(text, kShiftJisCodePage).size() <= heldBytes_) {
        pending_ += text;
        return std::nullopt;
    }
    std::u16string sentence = std::exchange(pending_, {});
    if (!sentence.empty())
        sentence += u"\r\n";
    sentence += text;
    return sentence;
}

} // namespace kx
