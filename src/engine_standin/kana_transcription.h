#pragma once
// The stand-in engine's only "translation": it writes Japanese kana in Hangul
// and keeps every other character. It does not translate and does not pretend
// to; the result is a transcription, the same for the same input every time.
#include <string>
#include <string_view>

namespace kx::standin {

// Transcribes hiragana, katakana and half-width katakana into Hangul syllables;
// every other code unit (kanji, punctuation, ASCII, existing Hangul, surrogate
// pairs, stray sound marks) is copied unchanged. See kana_transcription.cpp for
// the scheme.
std::u16string TranscribeKana(std::u16string_view text);

// One precomposed Hangul syllable from its jamo indices: initial 0-18,
// medial 0-20, final 0-27 (0 = no final consonant).
constexpr char16_t ComposeHangul(int initial, int medial, int final)
{
    return static_cast<char16_t>(0xAC00 + (initial * 21 + medial) * 28 + final);
}

} // namespace kx::standin
