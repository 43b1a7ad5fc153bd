#include "capture/text_filters.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

TEST(CollapseRepeatedChars, EveryLetterTheSameNumberOfTimes)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"ああいいうう", u"あいう"},
        {u"あああいいいううう", u"あいう"},
        {u"ああああいいいい", u"あい"},
        {u"aabb", u"ab"},
        {u"ああああ", u"ああ"},  // four of one letter is two runs of two
        {u"\U0001F600\U0001F600xx", u"\U0001F600x"},  // a surrogate pair is one letter
        // Must stay: mixed counts, a single run, odd letters, no repetition.
        {u"ああいうう", u"ああいうう"},
        {u"ああいいう", u"ああいいう"},
        {u"ああ", u"ああ"},
        {u"aaaaabbbbb", u"aaaaabbbbb"},  // five is more than four
        {u"abab", u"abab"},
        {u"", u""},
        {u"\xD83D\xD83D", u"\xD83D\xD83D"},  // lone surrogates: no pair, but still one text
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CollapseRepeatedChars(in), out);
}

TEST(CollapseRepeatedPhrase, OnePhraseTwiceOrMore)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"こんにちはこんにちは", u"こんにちは"},
        {u"abcabcabc", u"abc"},
        {u"abab", u"ab"},
        {u"aa", u"a"},
        {u"「はい」「はい」", u"「はい」"},
        {u"\U0001F600a\U0001F600a", u"\U0001F600a"},
        // Must stay: a phrase and a part of it, a single phrase, nothing.
        {u"abcab", u"abcab"},
        {u"こんにちは", u"こんにちは"},
        {u"a", u"a"},
        {u"", u""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CollapseRepeatedPhrase(in), out);
}

TEST(ApplySubstitutions, InOrderEveryOccurrenceNeverRescanned)
{
    const std::vector<Substitution> subs = {{u"太郎", u"Taro"}, {u"Taro", u"타로"}, {u"a", u"aa"}};
    // The second works on the first's output; "aa" is not searched again by the third.
    EXPECT_EQ(ApplySubstitutions(subs, u"太郎と太郎 a"), u"타로と타로 aa");
    EXPECT_EQ(ApplySubstitutions({}, u"as is"), u"as is");
    EXPECT_EQ(ApplySubstitutions({{u"", u"x"}}, u"ab"), u"ab");  // an empty find changes nothing
    EXPECT_EQ(ApplySubstitutions({{u"\u2665", u""}}, u"\u2665a\u2665"), u"a");
}

TEST(TextFilters, FiltersInOrderThenSubstitutionsAndTheRepeatSkipped)
{
    TextFilterSettings settings;
    TextFilters filters;
    // All off: the text as it is, repeats shown again.
    EXPECT_EQ(filters.Clean(settings, u"ああいいああいい"), u"ああいいああいい");
    EXPECT_EQ(filters.Clean(settings, u"ああいいああいい"), u"ああいいああいい");

    settings.RepeatChars = 1;
    settings.RepeatPhrase = 1;
    settings.before = {{u"あい", u"AI"}};
    // Letters first («あいあい»), then the phrase («あい»), then the substitution.
    EXPECT_EQ(filters.Clean(settings, u"ああいいああいい"), u"AI");

    settings.SkipRepeat = 1;
    EXPECT_EQ(filters.Clean(settings, u"あいあい"), std::nullopt);  // the same as the text before
    EXPECT_EQ(filters.Clean(settings, u"う"), u"う");
    EXPECT_EQ(filters.Clean(settings, u"あい"), u"AI");  // not the one just before: shown
    settings.RepeatChars = 2;  // only exactly 1 is on
    EXPECT_EQ(filters.Clean(settings, u"ううええ"), u"ううええ");
}

} // namespace
} // namespace kx
