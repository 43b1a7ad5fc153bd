// ColorText, FontText and DecodeHexText on any text, and their round trips.
#include "settings/value_encodings.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using kx::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const std::optional<kx::Color> color = kx::ParseColorText(text))
        Check(kx::ParseColorText(kx::ColorText(*color)) == color);

    if (const std::optional<kx::FontDescription> font = kx::ParseFontText(text)) {
        Check(font->sizePoints >= kx::kMinFontPoints && font->sizePoints <= kx::kMaxFontPoints);
        // A face without a comma comes back whole.
        if (font->faceName.find(',') == std::string::npos)
            Check(kx::ParseFontText(kx::FontText(*font)) == font);
        for (int dpi : {72, 96, 144})
            Check(kx::FontPointsForHeight(kx::FontHeightForPoints(font->sizePoints, dpi), dpi) == font->sizePoints);
    }

    if (const std::optional<std::u16string> decoded = kx::DecodeHexText(text)) {
        Check(decoded->size() == text.size() / 4);
        const std::string encoded = kx::EncodeHexText(*decoded);
        Check(kx::DecodeHexText(encoded) == decoded);
    }
    if (const std::optional<std::int32_t> value = kx::ParseInteger(text))
        Check(kx::ParseInteger(kx::IntegerText(*value)) == value);
    if (const std::optional<std::int32_t> value = kx::ParseDecimalInteger(text))
        Check(kx::ParseInteger(text) == value);
    return 0;
}
