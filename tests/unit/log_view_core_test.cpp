#include "logview/log_text.h"
#include "logview/strip_compositor.h"
#include "logview/wrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace kx;

namespace {

// The line starts found by walking the whole text, to hold the index against.
std::vector<std::size_t> StartsByWalking(const std::u16string& text)
{
    std::vector<std::size_t> starts;
    if (text.empty())
        return starts;
    starts.push_back(0);
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == u'\r' && text[i + 1] == u'\n')
            starts.push_back(i + 2);
    if (starts.back() == text.size())
        starts.pop_back();
    return starts;
}

std::vector<std::size_t> StartsOf(const LogText& log)
{
    std::vector<std::size_t> starts;
    for (std::size_t line = 0; line < log.LineCount(); ++line)
        starts.push_back(log.LineStart(line));
    return starts;
}

TEST(LogViewText, LinesAreSeparatedByCrLfOnlyAndEveryChangeIsCounted)
{
    LogText log;
    const auto revision = log.Revision();
    EXPECT_EQ(log.LineCount(), 0u);
    log.Assign(u"ab\r\ncd\r\n");
    EXPECT_EQ(StartsOf(log), (std::vector<std::size_t>{0, 4}));  // the closing CR LF opens no line
    EXPECT_EQ(log.LineEnd(0), 2u);
    EXPECT_EQ(log.LineEnd(1), 6u);
    EXPECT_TRUE(log.EndsWithLineBreak());
    // An offset on the CR LF belongs to the line before; the end to the last line.
    for (auto [offset, line] : {std::pair{2u, 0u}, {3u, 0u}, {4u, 1u}, {8u, 1u}, {999u, 1u}})
        EXPECT_EQ(log.LineOfOffset(offset), line) << offset;
    log.Assign(u"a\rb\nc\n\r");
    EXPECT_EQ(log.LineCount(), 1u);
    EXPECT_FALSE(log.EndsWithLineBreak());
    log.Assign(u"\r\n");
    EXPECT_EQ(log.LineCount(), 1u);
    EXPECT_EQ(log.LineEnd(0), 0u);
    log.Insert(1, u"");  // no change
    log.Clear();
    EXPECT_EQ(log.LineCount(), 0u);
    EXPECT_EQ(log.Revision(), revision + 4);
}

TEST(LogViewText, InsertJoinsAndSeparatesCrLfAndShiftsLaterLines)
{
    LogText log;
    log.Assign(u"a\rb");
    log.Insert(2, u"\n");  // after the lone CR: a break now
    EXPECT_EQ(StartsOf(log), (std::vector<std::size_t>{0, 3}));
    log.Insert(2, u"x");  // between CR and LF: no break any more
    EXPECT_EQ(log.Text(), u"a\rx\nb");
    EXPECT_EQ(log.LineCount(), 1u);
    log.Insert(3, u"\r");  // a CR before the lone LF
    EXPECT_EQ(StartsOf(log), (std::vector<std::size_t>{0, 5}));
    log.Insert(0, u"12\r\n");
    EXPECT_EQ(StartsOf(log), (std::vector<std::size_t>{0, 4, 9}));
    log.Insert(999, u"\r\nend");  // clamped to the end
    EXPECT_EQ(log.Text(), u"12\r\na\rx\r\nb\r\nend");
    EXPECT_EQ(StartsOf(log), (std::vector<std::size_t>{0, 4, 9, 12}));
}

TEST(LogViewText, IndexMatchesAWalkOfTheTextAfterAnyInsertsAndReplacements)
{
    const std::u16string pieces[] = {u"\r", u"\n", u"\r\n", u"a", u"\x5B57", u"\r\n\r\n", u"line\r\n"};
    std::mt19937 random(18);
    LogText log;
    for (int step = 0; step < 3000; ++step) {
        const std::u16string& piece = pieces[random() % std::size(pieces)];
        // Mostly the append rule (before a closing CR LF), else anywhere.
        const std::size_t at = step % 3 != 0 ? log.Length() - (log.EndsWithLineBreak() ? 2 : 0)
                                             : random() % (log.Length() + 1);
        if (step % 5 == 4)  // a line written again in place, or any stretch replaced
            log.Replace(random() % (log.Length() + 1), random() % 8, step % 2 ? piece : u"");
        else
            log.Insert(at, piece);
        ASSERT_EQ(StartsOf(log), StartsByWalking(log.Text())) << "step " << step;
    }
    for (std::size_t line = 0; line < log.LineCount(); ++line) {
        EXPECT_EQ(log.LineOfOffset(log.LineStart(line)), line);
        EXPECT_EQ(log.LineOfOffset(log.LineEnd(line)), line);
    }
}

TEST(LogViewText, SelectedTextIsClampedAndKeepsPairsWhole)
{
    LogText log;
    log.Assign(u"ab\r\nc\xD83D\xDE00" u"d");  // a b CR LF c <pair> d
    EXPECT_EQ(SelectedText(log, {5, 1}), u"b\r\nc");  // anchor behind the caret
    EXPECT_EQ(SelectedText(log, {0, 3}), u"ab\r\n");  // ends between CR and LF
    EXPECT_EQ(SelectedText(log, {3, 5}), u"\r\nc");   // begins between them
    EXPECT_EQ(SelectedText(log, {6, 8}), u"\xD83D\xDE00" u"d");
    EXPECT_EQ(SelectedText(log, {4, 6}), u"c\xD83D\xDE00");
    EXPECT_EQ(SelectedText(log, {7, 100}), u"d");
    EXPECT_EQ(SelectedText(log, {100, 200}), u"");
    EXPECT_EQ(SelectedText(log, {6, 6}), u"");
}

TEST(LogViewText, ASelectionStaysOnItsTextThroughAnEdit)
{
    // An insert at 10: a selection before it or ending at it stays; behind it, it moves.
    EXPECT_EQ(SelectionAfterEdit({2, 10}, 10, 0, 5).End(), 10u);
    EXPECT_EQ(SelectionAfterEdit({12, 11}, 10, 0, 5).caret, 16u);
    EXPECT_EQ(SelectionAfterEdit({12, 11}, 10, 0, 5).anchor, 17u);
    // Units 10..14 replaced by 2: inside goes to 10, behind moves back by 3.
    EXPECT_EQ(SelectionAfterEdit({4, 12}, 10, 5, 2).caret, 10u);
    EXPECT_EQ(SelectionAfterEdit({15, 20}, 10, 5, 2).Begin(), 12u);
    EXPECT_EQ(SelectionAfterEdit({15, 20}, 10, 5, 2).End(), 17u);
    EXPECT_TRUE(SelectionAfterEdit({11, 13}, 10, 5, 2).Empty());
}

// Latin characters 1 pixel, CJK 2, U+0301 (a combining accent) none.
class FixedMeasure : public CharacterMeasure {
public:
    int Width(char32_t c) override { return c == 0x0301 ? 0 : IsCjkBreakable(c) ? 2 : 1; }
};

std::vector<std::size_t> Wrap(std::u16string_view line, int width)
{
    FixedMeasure measure;
    return WrapLine(line, width, measure);
}

using Rows = std::vector<std::size_t>;

TEST(LogViewWrap, KnowsTheCjkScripts)
{
    for (char32_t c : {U'\x3041', U'\x30A2', U'\xFF71', U'\x4E00', U'\x3400', U'\x20000', U'\xD55C', U'\x1100',
                       U'\x3001', U'\xFF21', U'\xFFA1'})
        EXPECT_TRUE(IsCjkBreakable(c)) << std::hex << unsigned(c);
    for (char32_t c : {U'a', U'\xE9', U' ', U'\x2014', U'\x0416', U'\x1F600'})
        EXPECT_FALSE(IsCjkBreakable(c)) << std::hex << unsigned(c);
}

TEST(LogViewWrap, LatinBreaksAfterSpacesWhichStayOnTheirRow)
{
    EXPECT_EQ(Wrap(u"aaa bbb ccc", 7), (Rows{0, 8}));
    EXPECT_EQ(Wrap(u"ab      cd", 3), (Rows{0, 8}));
    EXPECT_EQ(Wrap(u"aaa bbb", 100), (Rows{0}));
    EXPECT_EQ(Wrap(u"", 5), (Rows{0}));
}

TEST(LogViewWrap, CjkBreaksBetweenAnyTwoCharacters)
{
    EXPECT_EQ(Wrap(u"\x65E5\x672C\x8A9E\x3067\x3059", 5), (Rows{0, 2, 4}));  // two per row
    EXPECT_EQ(Wrap(u"abc\x65E5\x672C", 4), (Rows{0, 3}));                     // before the first ideograph
    EXPECT_EQ(Wrap(u"\xFF71\xFF72\xD55C\xAD6D", 4), (Rows{0, 2}));            // half-width kana, Hangul
}

TEST(LogViewWrap, LongWordsBreakWhereTheyMust)
{
    EXPECT_EQ(Wrap(u"abcdefghij", 4), (Rows{0, 4, 8}));
    EXPECT_EQ(Wrap(u"ab cdefghij", 4), (Rows{0, 3, 7}));
    // A view narrower than any character: one per row, spaces still hang.
    EXPECT_EQ(Wrap(u"ab c", 0), (Rows{0, 1, 3}));
    EXPECT_EQ(Wrap(u"abc", -5), (Rows{0, 1, 2}));
    // An accent of no width stays with its letter.
    EXPECT_EQ(Wrap(u"ab\x0301" u"c", 2), (Rows{0, 3}));
}

TEST(LogViewWrap, SurrogatePairsAreNeverSplit)
{
    // Ideographs beyond the BMP: CJK, two pixels each.
    EXPECT_EQ(Wrap(u"\xD840\xDC00\xD840\xDC01\xD840\xDC02", 3), (Rows{0, 2, 4}));
    // Emoji inside a long word, and a view too narrow for any of them.
    EXPECT_EQ(Wrap(u"a\xD83D\xDE00\xD83D\xDE01", 1), (Rows{0, 1, 3}));
    EXPECT_EQ(Wrap(u"\xD83D\xDE00\xD83D\xDE01", 0), (Rows{0, 2}));
}

// A width x height mask with full coverage at the given points.
CoverageMask Dots(int width, int height, std::initializer_list<std::pair<int, int>> points)
{
    CoverageMask mask{width, height, std::vector<std::uint8_t>(std::size_t(width) * height, 0)};
    for (auto [x, y] : points)
        mask.coverage[std::size_t(y) * width + x] = 255;
    return mask;
}

std::uint32_t At(const std::vector<std::uint32_t>& pixels, int width, int x, int y)
{
    return pixels[std::size_t(y) * width + x];
}

TEST(LogViewStrip, LettersAreOpaqueWhateverTheBackgroundAlpha)
{
    const CoverageMask mask = Dots(9, 9, {{4, 4}});
    for (std::uint8_t alpha : {0, 1, 128, 255}) {
        StripLook look{0x123456, 0x00FF00, 0xFFFFFF, alpha, 2, true};
        EXPECT_EQ(At(ComposeStrip(mask, look), 9, 4, 4), 0xFF123456u) << int(alpha);
    }
}

TEST(LogViewStrip, BackgroundAloneIsPremultipliedAtItsAlpha)
{
    const CoverageMask empty = Dots(4, 3, {});
    struct Case {
        std::uint32_t rgb;
        std::uint8_t alpha;
        std::uint32_t expected;
    };
    for (const auto& [rgb, alpha, expected] :
         {Case{0xFFFFFF, 128, 0x80808080}, Case{0x204080, 0, 0}, Case{0x204080, 255, 0xFF204080}}) {
        const StripLook look{0xFFFFFF, 0x000000, rgb, alpha, 2, true};
        for (std::uint32_t pixel : ComposeStrip(empty, look))
            ASSERT_EQ(pixel, expected) << std::hex << rgb << " at " << int(alpha);
    }
}

TEST(LogViewStrip, OutlineIsADiscOfItsWidthAroundTheLetters)
{
    const CoverageMask dot = Dots(15, 15, {{7, 7}});
    StripLook look{0xFFFFFF, 0x00FF00, 0x000000, 0, 3, false};
    const auto pixels = ComposeStrip(dot, look);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 15; ++x) {
            const int d2 = (x - 7) * (x - 7) + (y - 7) * (y - 7);
            const std::uint32_t expected = d2 == 0 ? 0xFFFFFFFF : d2 <= 9 ? 0xFF00FF00 : 0;
            ASSERT_EQ(At(pixels, 15, x, y), expected) << x << "," << y;
        }
    look.outlineWidth = 0;
    const auto bare = ComposeStrip(dot, look);
    EXPECT_EQ(std::count(bare.begin(), bare.end(), 0u), 15 * 15 - 1);
}

TEST(LogViewStrip, ShadowFallsDownRightOnlyWhenOn)
{
    const CoverageMask dot = Dots(15, 15, {{7, 7}});
    StripLook look{0xFFFFFF, 0x00FF00, 0x000000, 0, 2, true};
    const auto shaded = ComposeStrip(dot, look);
    // Beyond the outline: black at up to 60 %, more below right than above left.
    const std::uint32_t belowRight = At(shaded, 15, 10, 10);
    EXPECT_EQ(belowRight & 0xFFFFFF, 0u);
    EXPECT_GT(belowRight >> 24, 0u);
    EXPECT_LE(belowRight >> 24, 153u);
    EXPECT_LT(At(shaded, 15, 4, 4) >> 24, belowRight >> 24);
    look.shadow = false;
    EXPECT_EQ(At(ComposeStrip(dot, look), 15, 10, 10), 0u);
}

TEST(LogViewStrip, AnyMaskGivesValidPremultipliedPixels)
{
    std::mt19937 random(7);
    CoverageMask mask{40, 20, {}};
    for (int i = 0; i < 40 * 20; ++i)
        mask.coverage.push_back(std::uint8_t(random()));
    mask.coverage.resize(500);  // shorter than its size says: the rest is empty
    const StripLook look{0xFF8000, 0x4080FF, 0x10E0A0, 77, 99, true};
    const auto pixels = ComposeStrip(mask, look);
    ASSERT_EQ(pixels.size(), 800u);
    for (std::uint32_t p : pixels) {
        const std::uint32_t a = p >> 24;
        ASSERT_TRUE(((p >> 16) & 0xFF) <= a && ((p >> 8) & 0xFF) <= a && (p & 0xFF) <= a) << std::hex << p;
    }
    EXPECT_TRUE(ComposeStrip(CoverageMask{0, 10, {}}, look).empty());
    EXPECT_TRUE(ComposeStrip(CoverageMask{-3, 10, {}}, look).empty());
}

} // namespace
