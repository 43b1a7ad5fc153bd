// The stand-in engine's portable part: kana transcription and the checks on
// the initialisation arguments.
#include "engine_standin/engine_arguments.h"
#include "engine_standin/kana_transcription.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using kx::standin::ComposeHangul;
using kx::standin::IsUserKeyForm;
using kx::standin::TranscribeKana;
using kx::standin::UndoubleBackslashes;

namespace {

struct Row {
    const char16_t* in;
    const char16_t* out;
};

// Code units in hex, so that a failure shows exactly what came out.
std::string Hex(const std::u16string& s)
{
    std::string out;
    char buf[8];
    for (char16_t c : s) {
        std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(c));
        out += buf;
    }
    return out;
}

void ExpectRows(const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        const std::u16string got = TranscribeKana(row.in);
        EXPECT_EQ(got, std::u16string(row.out)) << "input " << Hex(row.in) << "\n got " << Hex(got)
                                                << "\nwant " << Hex(row.out);
    }
}

TEST(StandinTranscription, ComposesHangulArithmetically)
{
    EXPECT_EQ(ComposeHangul(0, 0, 0), u'가');
    EXPECT_EQ(ComposeHangul(15, 8, 4), u'콘');
    EXPECT_EQ(ComposeHangul(11, 0, 19), u'앗');
    EXPECT_EQ(ComposeHangul(18, 20, 27), u'힣');
}

TEST(StandinTranscription, PlainSyllablesOfEveryRow)
{
    ExpectRows({
        {u"あいうえお", u"아이우에오"},
        {u"かきくけこ", u"카키쿠케코"},
        {u"がぎぐげご", u"가기구게고"},
        {u"さしすせそ", u"사시스세소"},
        {u"ざじずぜぞ", u"자지즈제조"},
        {u"たちつてと", u"타치쓰테토"},
        {u"だぢづでど", u"다지즈데도"},
        {u"なにぬねの", u"나니누네노"},
        {u"はひふへほ", u"하히후헤호"},
        {u"ばびぶべぼ", u"바비부베보"},
        {u"ぱぴぷぺぽ", u"파피푸페포"},
        {u"まみむめも", u"마미무메모"},
        {u"やゆよ", u"야유요"},
        {u"らりるれろ", u"라리루레로"},
        {u"わゐゑを", u"와이에오"},
        {u"ゔ", u"부"},
        {u"ヴヷヸヹヺ", u"부바비베보"},
        {u"ヵヶ", u"카케"},
        {u"ありがとう", u"아리가토우"},
    });
}

TEST(StandinTranscription, KatakanaAndHiraganaAgree)
{
    // Every hiragana, alone and after a syllable, reads like its katakana.
    for (char16_t h = 0x3041; h <= 0x3096; ++h) {
        const char16_t k = h + 0x60;
        EXPECT_EQ(TranscribeKana(std::u16string(1, h)), TranscribeKana(std::u16string(1, k))) << Hex({h});
        EXPECT_EQ(TranscribeKana(std::u16string{u'き', h}), TranscribeKana(std::u16string{u'キ', k})) << Hex({h});
    }
}

TEST(StandinTranscription, EveryKanaAloneBecomesOneHangulLetter)
{
    // A gap in the kana table would leave a kana behind or emit something else.
    for (char16_t k = 0x30A1; k <= 0x30FA; ++k) {
        const std::u16string got = TranscribeKana(std::u16string(1, k));
        ASSERT_EQ(got.size(), 1u) << Hex({k});
        const bool syllable = got[0] >= 0xAC00 && got[0] <= 0xD7A3;
        const bool letter = got[0] == u'ㄴ' || got[0] == u'ㅅ';
        EXPECT_TRUE(syllable || letter) << Hex({k}) << " -> " << Hex(got);
        EXPECT_EQ(letter, k == u'ッ' || k == u'ン') << Hex({k});
    }
}

TEST(StandinTranscription, SmallYaYuYoJoinThePrecedingSyllable)
{
    ExpectRows({
        {u"きゃきゅきょ", u"캬큐쿄"},
        {u"しゃしゅしょ", u"샤슈쇼"},
        {u"にゃ ひゅ みょ りゃ ぎゅ びょ ぴゃ", u"냐 휴 묘 랴 규 뵤 퍄"},
        // after ㅈ and ㅊ the y-vowel is written plain
        {u"ちゃちゅちょ じゃじゅじょ ぢゃ", u"차추초 자주조 자"},
        {u"テュ デュ フュ", u"튜 듀 휴"},
        {u"シャツ", u"샤쓰"},
        {u"ジュース", u"주스"},
    });
}

TEST(StandinTranscription, SmallVowelsCombineByTheVowelBefore)
{
    ExpectRows({
        // after an i-vowel: palatalised
        {u"イェ シェ キェ", u"예 셰 켸"},
        {u"ジェ チェ", u"제 체"},
        // after a u-vowel: a glide
        {u"ウィ ウェ ウォ", u"위 웨 워"},
        {u"ファ フィ フェ フォ", u"화 휘 훼 훠"},
        {u"クァ グォ ヴァ", u"콰 궈 봐"},
        // after any other vowel: the vowel is replaced
        {u"ティ ディ トゥ ドゥ", u"티 디 투 두"},
        {u"ツァ ツィ ツェ ツォ", u"싸 씨 쎄 쏘"},
        // the same vowel again changes nothing
        {u"あぁ いぃ うぅ", u"아 이 우"},
        {u"くゎ クヮ", u"콰 콰"},
        {u"パーティー", u"파티"},
        {u"ウィンドウ", u"윈도우"},
        {u"ヴァイオリン", u"봐이오린"},
    });
}

TEST(StandinTranscription, SokuonAndMoraicNBecomeFinalConsonants)
{
    ExpectRows({
        {u"こんにちは", u"콘니치하"},
        {u"がっこう", u"갓코우"},
        {u"きって", u"킷테"},
        {u"チェック", u"쳇쿠"},
        {u"あっ！", u"앗！"},
        {u"ほんとう", u"혼토우"},
        {u"きゃっ", u"캿"},
        {u"しゅん", u"슌"},
        // a combined syllable takes the final consonant, not the small kana alone
        {u"ティン", u"틴"},
    });
}

TEST(StandinTranscription, KanaWithNothingToJoinStandAlone)
{
    ExpectRows({
        {u"ん", u"ㄴ"},
        {u"っ", u"ㅅ"},
        {u"んー", u"ㄴー"},
        {u"ゃゅょ", u"야유요"},
        {u"ぁぃぅぇぉゎ", u"아이우에오와"},
        // ... but takes っ, ん and ー like any syllable
        {u"ぁっ", u"앗"},
        {u"ゃん", u"얀"},
        {u"ぉー", u"오"},
        // a syllable with a final consonant takes no second one and no small kana
        {u"うんん", u"운ㄴ"},
        {u"かっっ", u"캇ㅅ"},
        {u"かんぁ", u"칸아"},
        {u"あっゃ", u"앗야"},
        // after a kanji or punctuation there is no syllable to join
        {u"本ん", u"本ㄴ"},
        {u"、っ", u"、ㅅ"},
        {u"漢ャ", u"漢야"},
        // Hangul that was already in the text is never changed
        {u"한ぁ", u"한아"},
        {u"가っ", u"가ㅅ"},
        {u"가ん", u"가ㄴ"},
    });
}

TEST(StandinTranscription, LongMarkAndIterationMarks)
{
    ExpectRows({
        {u"ラーメン", u"라멘"},
        {u"コーヒー", u"코히"},
        {u"ターン", u"탄"},
        // ー with no kana before it is kept
        {u"ー", u"ー"},
        {u"東ー西", u"東ー西"},
        // ゝヽ repeat, ゞヾ repeat voiced
        {u"こゝろ", u"코코로"},
        {u"すゞき", u"스즈키"},
        {u"バナヽ", u"바나나"},
        {u"ぶゝ", u"부후"},
        {u"ハヾ", u"하바"},
        {u"いゞ", u"이이"},
        {u"きゃゝ", u"캬키"},
        {u"ゝヽゞヾ", u"ゝヽゞヾ"},
        {u"本ゝ", u"本ゝ"},
    });
}

TEST(StandinTranscription, HalfWidthKatakanaWithSoundMarks)
{
    ExpectRows({
        {u"ｶﾞﾝﾊﾞﾚ", u"간바레"},
        {u"ﾊﾟﾝ", u"판"},
        {u"ｳﾞｧ", u"봐"},
        {u"ｷｬｯﾁ", u"캿치"},
        {u"ﾗｰﾒﾝ", u"라멘"},
        {u"ｦﾜﾞ", u"오바"},
        // a mark the kana has no form for stays as it was
        {u"ｱﾞ", u"아ﾞ"},
        {u"ｶﾟ", u"카ﾟ"},
        {u"ﾞｶ", u"ﾞ카"},
    });
}

TEST(StandinTranscription, EverythingElseIsKeptUnchanged)
{
    ExpectRows({
        {u"", u""},
        {u"Hello, world.", u"Hello, world."},
        {u"日本語", u"日本語"},
        {u"「ね、ねえ！」", u"「네、네에！」"},
        {u"東京タワー。", u"東京타와。"},
        {u"私はテストです.", u"私하테스토데스."},
        {u"한국어", u"한국어"},
        {u"・〜゛゜", u"・〜゛゜"},
        {u"\r\nか\r\n", u"\r\n카\r\n"},
        {u"\U00020BB7っ\U00020BB7", u"\U00020BB7ㅅ\U00020BB7"},
        // a lone surrogate passes as it is
        {u"\xD842か", u"\xD842카"},
    });
}

TEST(StandinTranscription, IsDeterministicAndKeepsAnswerForFullStop)
{
    // The text sink drops the last unit of the answer as the one that answers
    // the full stop it appended; that holds only if "." comes back as one unit.
    const std::u16string text = u"こんにちは、ｶﾞﾝﾊﾞﾚ。ラーメン.";
    const std::u16string first = TranscribeKana(text);
    EXPECT_EQ(TranscribeKana(text), first);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.back(), u'.');
    EXPECT_EQ(TranscribeKana(u"か."), u"카.");
}

TEST(StandinArguments, UserKeyForm)
{
    struct KeyRow {
        const char* key;
        bool ok;
    };
    const KeyRow rows[] = {
        {"ABCDEF123456", true},  {"ZZZZZZ000000", true},   {"AAAAAA999999", true},
        {"", false},             {"ABCDEF12345", false},   {"ABCDEF1234567", false},
        {"abcdef123456", false}, {"ABCDEf123456", false},  {"123456ABCDEF", false},
        {"ABCDE1123456", false}, {"ABCDEFG23456", false},  {"ABCDEF12345A", false},
        {"ABCDEF 12345", false}, {"ABC@EF123456", false},  {"ABC[EF123456", false},
        {"ABCDEF12345/", false}, {"ABCDEF12345:", false},
    };
    for (const KeyRow& row : rows)
        EXPECT_EQ(IsUserKeyForm(row.key), row.ok) << '"' << row.key << '"';
    EXPECT_FALSE(IsUserKeyForm(std::string_view("ABCDEF\0" "23456", 12)));
}

TEST(StandinArguments, UndoublesBackslashes)
{
    struct PathRow {
        std::string in, out;
    };
    const PathRow rows[] = {
        {"C:\\\\ezTrans\\\\Dat", "C:\\ezTrans\\Dat"},
        {"D:\\\\Tools\\\\ezTrans\\\\Dat", "D:\\Tools\\ezTrans\\Dat"},
        {"\\\\\\\\server\\\\share\\\\Dat", "\\\\server\\share\\Dat"},
        // never doubled, or an odd run: the single backslash stays
        {"C:\\ezTrans\\Dat", "C:\\ezTrans\\Dat"},
        {"a\\\\\\b", "a\\\\b"},
        {"a\\", "a\\"},
        {"", ""},
        {"no backslash", "no backslash"},
        // 表 in Shift-JIS is 95 5C: its trail byte was doubled too
        {"C:\\\\\x95\x5C\x5C\\\\Dat", "C:\\\x95\x5C\\Dat"},
    };
    for (const PathRow& row : rows)
        EXPECT_EQ(UndoubleBackslashes(row.in), row.out) << row.in;
}

TEST(StandinArguments, UndoingReversesTheProgramsDoubling)
{
    const auto doubled = [](const std::string& s) {
        std::string out;
        for (char c : s) {
            out.push_back(c);
            if (c == '\\')
                out.push_back(c);
        }
        return out;
    };
    for (const std::string path : {"C:\\ezTrans\\Dat", "\\\\srv\\x\\\\y\\Dat", "E:\\\x95\x5C\\\x83\x5C\\Dat", "\\"})
        EXPECT_EQ(UndoubleBackslashes(doubled(path)), path) << path;
}

} // namespace
