#pragma once
// Cleaning of a captured text before the sink: the repetitions hookers make
// when they catch a line more than once, and the user's own substitutions.
#include "settings/app_settings.h"

#include <optional>
#include <string>
#include <vector>

namespace kx {

// A text in which every character stands k times in a row (the same k, 2 to
// 4, for the whole text, at least two runs) becomes one of each: «ああいいうう»
// gives «あいう». Any other text comes back as it is. A surrogate pair counts
// as one character.
std::u16string CollapseRepeatedChars(const std::u16string& text);

// A text that is one phrase written two or more times in a row becomes the
// phrase once: «こんにちはこんにちは» gives «こんにちは». The shortest such
// phrase is kept; any other text comes back as it is.
std::u16string CollapseRepeatedPhrase(const std::u16string& text);

// Applies each substitution in order, every occurrence, left to right; a
// replacement is never searched again by the same substitution.
std::u16string ApplySubstitutions(const std::vector<Substitution>& substitutions, std::u16string text);

// The filters, then the "before translation" substitutions, with the memory
// of the text shown before that "SkipRepeat" needs. Lives on one thread.
class TextFilters {
public:
    // nullopt: the text is not shown (it repeats the one before it).
    std::optional<std::u16string> Clean(const TextFilterSettings& settings, std::u16string text);

private:
    std::optional<std::u16string> lastShown_;
};

} // namespace kx
