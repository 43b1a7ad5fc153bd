// The clipboard decoders on any bytes, with no lead bytes, the lead bytes of
// code page 932, or a lead-byte table taken from the input.
#include "capture/text_decoding.h"
#include "fuzz_check.h"
#include "common/app_error.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

kx::AnsiLeadBytes LeadTable(const std::uint8_t*& data, std::size_t& size)
{
    kx::AnsiLeadBytes lead;
    if (size == 0)
        return lead;
    const std::uint8_t kind = *data++;
    --size;
    switch (kind % 3) {
    case 0:
        break;
    case 1:
        for (int b = 0x81; b <= 0x9F; ++b)
            lead.isLead[static_cast<std::size_t>(b)] = true;
        for (int b = 0xE0; b <= 0xFC; ++b)
            lead.isLead[static_cast<std::size_t>(b)] = true;
        break;
    default:
        // 32 bytes of the input as a bit set of lead bytes.
        for (std::size_t i = 0; i < 256 && i / 8 < size && i / 8 < 32; ++i)
            lead.isLead[i] = (data[i / 8] >> (i % 8)) & 1;
        break;
    }
    return lead;
}

} // namespace

using kx::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const kx::AnsiLeadBytes lead = LeadTable(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string ascii = kx::DecodeAscii(text, lead);
    Check(ascii.size() <= text.size() && (text.size() - ascii.size()) % 4 == 0);

    std::optional<std::string> sequential;
    std::optional<std::string> reverse;
    bool sequentialThrew = false;
    bool reverseThrew = false;
    try {
        sequential = kx::DecodeSeqHex(text, lead);
    } catch (const kx::AppError&) {
        sequentialThrew = true;
    }
    try {
        reverse = kx::DecodeRevHex(text, lead);
    } catch (const kx::AppError&) {
        reverseThrew = true;
    }
    // Both orders accept, drop and refuse the same texts, and give the same
    // bytes pairwise swapped.
    Check(sequentialThrew == reverseThrew && sequential.has_value() == reverse.has_value());
    if (sequential) {
        Check(sequential->size() % 2 == 0 && sequential->size() * 5 <= text.size() * 2);
        for (std::size_t i = 0; i < sequential->size(); i += 2)
            Check((*sequential)[i] == (*reverse)[i + 1] && (*sequential)[i + 1] == (*reverse)[i]);
    }
    // Without any lead byte the table changes nothing.
    bool leadByteInText = false;
    for (unsigned char c : text)
        leadByteInText = leadByteInText || lead.isLead[c];
    if (!leadByteInText) {
        Check(kx::DecodeAscii(text) == ascii);
        try {
            Check(kx::DecodeSeqHex(text) == sequential && !sequentialThrew);
        } catch (const kx::AppError&) {
            Check(sequentialThrew);
        }
    }
    return 0;
}
