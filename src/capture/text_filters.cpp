#include "capture/text_filters.h"

#include "common/text.h"

#include <cstddef>
#include <string_view>

namespace kx {
namespace {

// The text cut into characters: a surrogate pair stays whole.
std::vector<std::u16string_view> Characters(std::u16string_view text)
{
    std::vector<std::u16string_view> out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = CharacterUnits(text, i);
        out.push_back(text.substr(i, length));
        i += length;
    }
    return out;
}

} // namespace

std::u16string CollapseRepeatedChars(const std::u16string& text)
{
    const std::vector<std::u16string_view> chars = Characters(text);
    // The larger count first: «ああああいいいい» is four of each, not two.
    for (std::size_t k = 4; k >= 2; --k) {
        if (chars.size() % k != 0 || chars.size() / k < 2)
            continue;
        bool repeated = true;
        for (std::size_t i = 0; repeated && i < chars.size(); ++i)
            repeated = chars[i] == chars[i - i % k];
        if (!repeated)
            continue;
        std::u16string out;
        for (std::size_t run = 0; run < chars.size(); run += k)
            out += chars[run];
        return out;
    }
    return text;
}

std::u16string CollapseRepeatedPhrase(const std::u16string& text)
{
    const std::vector<std::u16string_view> chars = Characters(text);
    const std::size_t n = chars.size();
    for (std::size_t length = 1; length <= n / 2; ++length) {
        if (n % length != 0)
            continue;
        bool repeated = true;
        for (std::size_t i = length; i < n; ++i)
            if (chars[i] != chars[i % length]) {
                repeated = false;
                break;
            }
        if (!repeated)
            continue;
        std::u16string out;
        for (std::size_t i = 0; i < length; ++i)
            out += chars[i];
        return out;
    }
    return text;
}

std::u16string ApplySubstitutions(const std::vector<Substitution>& substitutions, std::u16string text)
{
    for (const Substitution& s : substitutions) {
        if (s.find.empty())
            continue;
        std::u16string out;
        std::size_t from = 0;
        for (std::size_t at = text.find(s.find); at != std::u16string::npos; at = text.find(s.find, from)) {
            out.append(text, from, at - from);
            out += s.replace;
            from = at + s.find.size();
        }
        out.append(text, from, std::u16string::npos);
        text = std::move(out);
    }
    return text;
}

std::optional<std::u16string> TextFilters::Clean(const TextFilterSettings& settings, std::u16string text)
{
    if (settings.RepeatCharsOn())
        text = CollapseRepeatedChars(text);
    if (settings.RepeatPhraseOn())
        text = CollapseRepeatedPhrase(text);
    if (settings.SkipRepeatOn() && lastShown_ && *lastShown_ == text)
        return std::nullopt;
    lastShown_ = text;
    text = ApplySubstitutions(settings.before, std::move(text));
    return text;
}

} // namespace kx
