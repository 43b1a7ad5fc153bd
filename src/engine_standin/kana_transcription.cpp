#include "engine_standin/kana_transcription.h"

#include <array>
#include <cstdint>

// The transcription scheme
// ------------------------
// The Korean rules for writing Japanese words (외래어 표기법, Japanese table),
// simplified so that a word's first syllable needs no special treatment:
//
// * Every kana syllable becomes one Hangul syllable. Voiceless k and t are
//   always aspirated, as the rules write them inside a word: か카 き키 く쿠 け케
//   こ코, た타 ち치 つ쓰 て테 と토. Voiced ones are plain: が가 ざ자 だ다 ば바,
//   p is ㅍ: ぱ파. す스 ず즈 づ즈, ふ후, を오, ゐ이, ゑ에, ヴ부, ヷヸヹヺ 바비베보,
//   ヵ카 ヶ케.
// * Small ゃゅょ replace the vowel of the syllable before them with ㅑㅠㅛ
//   (きゃ캬, しゅ슈, てゅ튜). Small ぁぃぅぇぉ combine with it: after an i-vowel
//   they palatalise (シェ셰, イェ예), after a u-vowel they glide (ウィ위,
//   ファ화, クォ쿼), after any other vowel they replace it (ティ티, トゥ투).
//   Small ゎ makes the vowel ㅘ (くゎ콰). After ㅈ and ㅊ a y-vowel is written
//   plain, as Korean spelling does (ちゃ차, じょ조, チェ체).
// * っ/ッ adds ㅅ and ん/ン adds ㄴ as final consonant to the syllable before
//   (がっこう갓코우, こんにちは콘니치하).
// * ー is not written after a kana syllable (long vowels are not marked:
//   ラーメン라멘). Iteration marks ゝヽ repeat the kana before them, ゞヾ in its
//   voiced form (こゝろ코코로, すゞき스즈키).
//
// Only syllables made here from kana are ever changed by a following small kana,
// っ or ん; Hangul already present in the text is never touched. Where there is
// no such syllable right before (start of text, after a kanji or a syllable that
// already has a final consonant), a small kana stands as its full syllable
// (ゃ야; a second small kana does not join it: ゃゅ야유), っ and ん stand as the
// letters ㅅ and ㄴ, and ー and the iteration marks are kept unchanged. Half-width katakana are read like full-width ones,
// with a following half-width ﾞ or ﾟ where the kana has that form (ｶﾞ가, ﾊﾟ파).

namespace kx::standin {
namespace {

// Jamo indices of the precomposed syllable block.
enum Initial : std::uint8_t {
    G = 0, N = 2, D = 3, R = 5, M = 6, B = 7, S = 9, SS = 10, NG = 11, J = 12, JJ = 13, CH = 14, K = 15,
    T = 16, P = 17, H = 18
};
enum Medial : std::uint8_t {
    A = 0, AE = 1, YA = 2, YAE = 3, EO = 4, E = 5, YEO = 6, YE = 7, O = 8, WA = 9, WE = 15, WI = 16, WO = 14,
    YO = 12, U = 13, YU = 17, EU = 18, I = 20
};
constexpr int kFinalN = 4;   // ㄴ
constexpr int kFinalS = 19;  // ㅅ
constexpr char16_t kLetterN = u'\u3134';  // ㄴ standing alone
constexpr char16_t kLetterS = u'\u3145';  // ㅅ standing alone

enum class Kind : std::uint8_t { Syllable, SmallVowel, SmallY, SmallWa, Sokuon, MoraicN };

struct Sound {
    Kind kind;
    std::uint8_t initial;
    std::uint8_t medial;  // for the small kana: the vowel they bring
};

constexpr Sound Syl(std::uint8_t initial, std::uint8_t medial) { return {Kind::Syllable, initial, medial}; }
constexpr Sound SmallV(std::uint8_t medial) { return {Kind::SmallVowel, NG, medial}; }
constexpr Sound SmallY(std::uint8_t medial) { return {Kind::SmallY, NG, medial}; }

// Katakana ァ (U+30A1) to ヺ (U+30FA), in code order. Hiragana are looked up
// through their katakana (code + 0x60).
constexpr char16_t kFirstKana = 0x30A1;
constexpr std::array<Sound, 90> kKana = {{
    SmallV(A), Syl(NG, A), SmallV(I), Syl(NG, I), SmallV(U), Syl(NG, U), SmallV(E), Syl(NG, E), SmallV(O),
    Syl(NG, O),                                                                  // ァアィイゥウェエォオ
    Syl(K, A), Syl(G, A), Syl(K, I), Syl(G, I), Syl(K, U), Syl(G, U), Syl(K, E), Syl(G, E), Syl(K, O),
    Syl(G, O),                                                                   // カガキギクグケゲコゴ
    Syl(S, A), Syl(J, A), Syl(S, I), Syl(J, I), Syl(S, EU), Syl(J, EU), Syl(S, E), Syl(J, E), Syl(S, O),
    Syl(J, O),                                                                   // サザシジスズセゼソゾ
    Syl(T, A), Syl(D, A), Syl(CH, I), Syl(J, I), {Kind::Sokuon, 0, 0}, Syl(SS, EU), Syl(J, EU), Syl(T, E),
    Syl(D, E), Syl(T, O), Syl(D, O),                                             // タダチヂッツヅテデトド
    Syl(N, A), Syl(N, I), Syl(N, U), Syl(N, E), Syl(N, O),                       // ナニヌネノ
    Syl(H, A), Syl(B, A), Syl(P, A), Syl(H, I), Syl(B, I), Syl(P, I), Syl(H, U), Syl(B, U), Syl(P, U),
    Syl(H, E), Syl(B, E), Syl(P, E), Syl(H, O), Syl(B, O), Syl(P, O),            // ハバパ ... ホボポ
    Syl(M, A), Syl(M, I), Syl(M, U), Syl(M, E), Syl(M, O),                       // マミムメモ
    SmallY(YA), Syl(NG, YA), SmallY(YU), Syl(NG, YU), SmallY(YO), Syl(NG, YO),   // ャヤュユョヨ
    Syl(R, A), Syl(R, I), Syl(R, U), Syl(R, E), Syl(R, O),                       // ラリルレロ
    {Kind::SmallWa, NG, WA}, Syl(NG, WA), Syl(NG, I), Syl(NG, E), Syl(NG, O),    // ヮワヰヱヲ
    {Kind::MoraicN, 0, 0}, Syl(B, U), Syl(K, A), Syl(K, E),                      // ンヴヵヶ
    Syl(B, A), Syl(B, I), Syl(B, E), Syl(B, O),                                  // ヷヸヹヺ
}};
static_assert(kFirstKana + kKana.size() - 1 == 0x30FA);

constexpr char16_t kLongMark = 0x30FC;         // ー
constexpr char16_t kIteration = 0x30FD;        // ヽ (ゝ is read as this)
constexpr char16_t kVoicedIteration = 0x30FE;  // ヾ (ゞ is read as this)

// Half-width katakana ｦ (U+FF66) to ﾝ (U+FF9D) as full-width katakana.
constexpr char16_t kFirstHalfWidth = 0xFF66;
constexpr std::array<char16_t, 56> kHalfWidth = {{
    u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ', u'ョ', u'ッ', u'ー', u'ア', u'イ', u'ウ',
    u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ', u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ', u'チ',
    u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ', u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ',
    u'ミ', u'ム', u'メ', u'モ', u'ヤ', u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン',
}};
static_assert(kFirstHalfWidth + kHalfWidth.size() - 1 == 0xFF9D);
constexpr char16_t kHalfWidthVoiced = 0xFF9E;      // ﾞ
constexpr char16_t kHalfWidthSemiVoiced = 0xFF9F;  // ﾟ

bool InRange(char16_t c, char16_t first, char16_t last) { return c >= first && c <= last; }

// The voiced katakana of c (カ→ガ, ハ→バ, ウ→ヴ, ワ→ヷ), or 0 when it has none.
char16_t Voiced(char16_t c)
{
    if (InRange(c, u'カ', u'チ') && (c - u'カ') % 2 == 0)
        return c + 1;
    if (c == u'ツ' || c == u'テ' || c == u'ト')
        return c + 1;
    if (InRange(c, u'ハ', u'ホ') && (c - u'ハ') % 3 == 0)
        return c + 1;
    if (c == u'ウ')
        return u'ヴ';
    if (InRange(c, u'ワ', u'ヲ'))
        return c + (u'ヷ' - u'ワ');
    return 0;
}

// ハ→パ and so on, or 0.
char16_t SemiVoiced(char16_t c)
{
    return InRange(c, u'ハ', u'ホ') && (c - u'ハ') % 3 == 0 ? static_cast<char16_t>(c + 2) : 0;
}

// The voiceless katakana of c (ガ→カ, パ→ハ, ヴ→ウ), or c itself.
char16_t Voiceless(char16_t c)
{
    if (InRange(c, u'ガ', u'ヂ') && (c - u'カ') % 2 == 1)
        return c - 1;
    if (c == u'ヅ' || c == u'デ' || c == u'ド')
        return c - 1;
    if (InRange(c, u'ハ', u'ポ'))
        return c - (c - u'ハ') % 3;
    if (c == u'ヴ')
        return u'ウ';
    if (InRange(c, u'ヷ', u'ヺ'))
        return c - (u'ヷ' - u'ワ');
    return c;
}

// Reads the kana at text[i] as full-width katakana (or ー, ヽ, ヾ) and sets
// `used` to the number of code units it takes; 0 when text[i] is no kana.
char16_t ReadKana(std::u16string_view text, std::size_t i, std::size_t& used)
{
    used = 1;
    const char16_t c = text[i];
    if (InRange(c, 0x3041, 0x3096))
        return c + 0x60;  // hiragana → katakana
    if (c == 0x309D || c == 0x309E)
        return c + 0x60;  // ゝゞ → ヽヾ
    if (InRange(c, kFirstKana, 0x30FA) || InRange(c, kLongMark, kVoicedIteration))
        return c;
    if (InRange(c, kFirstHalfWidth, 0xFF9D)) {
        const char16_t kana = kHalfWidth[c - kFirstHalfWidth];
        if (i + 1 < text.size()) {
            const char16_t mark = text[i + 1];
            const char16_t marked =
                mark == kHalfWidthVoiced ? Voiced(kana) : mark == kHalfWidthSemiVoiced ? SemiVoiced(kana) : 0;
            if (marked != 0) {
                used = 2;
                return marked;
            }
        }
        return kana;
    }
    return 0;
}

int InitialOf(char16_t syllable) { return (syllable - 0xAC00) / (21 * 28); }
int MedialOf(char16_t syllable) { return (syllable - 0xAC00) / 28 % 21; }
int FinalOf(char16_t syllable) { return (syllable - 0xAC00) % 28; }

// The vowel of a syllable whose vowel was `before` once the small kana `s`
// has joined it.
int CombinedMedial(int initial, int before, const Sound& s)
{
    int medial = s.medial;
    if (s.kind == Kind::SmallVowel) {
        if (before == I) {
            switch (s.medial) {
            case A: medial = YA; break;
            case U: medial = YU; break;
            case E: medial = YE; break;
            case O: medial = YO; break;
            default: medial = I; break;
            }
        } else if (before == U) {
            switch (s.medial) {
            case A: medial = WA; break;
            case I: medial = WI; break;
            case E: medial = WE; break;
            case O: medial = WO; break;
            default: medial = U; break;
            }
        }
    }
    if (initial == J || initial == JJ || initial == CH) {
        switch (medial) {
        case YA: return A;
        case YAE: return AE;
        case YEO: return EO;
        case YE: return E;
        case YO: return O;
        case YU: return U;
        default: break;
        }
    }
    return medial;
}

class Transcriber {
public:
    explicit Transcriber(std::size_t size) { out_.reserve(size); }

    void Other(std::u16string_view units)
    {
        out_.append(units);
        last_ = kNone;
    }

    // `kana` is full-width katakana; `original` the code units it was read from.
    void Kana(char16_t kana, std::u16string_view original)
    {
        if (kana == kLongMark) {
            if (last_ == kNone)
                Other(original);  // nothing to lengthen
            return;
        }
        if (kana == kIteration || kana == kVoicedIteration) {
            if (last_ == kNone) {
                Other(original);
                return;
            }
            const char16_t base = Voiceless(lastKana_);
            const char16_t voiced = kana == kVoicedIteration ? Voiced(base) : 0;
            Kana(voiced != 0 ? voiced : base, original);
            return;
        }
        const Sound& s = kKana[kana - kFirstKana];
        const bool open = last_ != kNone && FinalOf(out_[last_]) == 0;
        switch (s.kind) {
        case Kind::Syllable:
            Start(ComposeHangul(s.initial, s.medial, 0), kana);
            break;
        case Kind::SmallVowel:
        case Kind::SmallY:
        case Kind::SmallWa:
            if (open && takesSmall_) {
                const char16_t prev = out_[last_];
                const int initial = InitialOf(prev);
                out_[last_] = ComposeHangul(initial, CombinedMedial(initial, MedialOf(prev), s), 0);
            } else {
                Start(ComposeHangul(NG, s.medial, 0), kana + 1);  // as the full-size kana
                takesSmall_ = false;
            }
            break;
        case Kind::Sokuon:
            if (open)
                out_[last_] += kFinalS;
            else
                Other(std::u16string_view(&kLetterS, 1));
            break;
        case Kind::MoraicN:
            if (open)
                out_[last_] += kFinalN;
            else
                Other(std::u16string_view(&kLetterN, 1));
            break;
        }
    }

    std::u16string Take() { return std::move(out_); }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void Start(char16_t syllable, char16_t kana)
    {
        last_ = out_.size();
        lastKana_ = kana;
        takesSmall_ = true;
        out_.push_back(syllable);
    }

    std::u16string out_;
    std::size_t last_ = kNone;  // index of the syllable the last kana made, while nothing else followed it
    char16_t lastKana_ = 0;     // the full-size kana that began that syllable
    bool takesSmall_ = false;   // false when that syllable is a small kana standing alone
};

} // namespace

std::u16string TranscribeKana(std::u16string_view text)
{
    Transcriber t(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t used = 1;
        const char16_t kana = ReadKana(text, i, used);
        if (kana != 0)
            t.Kana(kana, text.substr(i, used));
        else
            t.Other(text.substr(i, 1));
        i += used;
    }
    return t.Take();
}

} // namespace kx::standin
