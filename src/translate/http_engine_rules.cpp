#include "translate/http_engine_rules.h"

#include "common/text.h"
#include "common/utf.h"

namespace kx {

std::string OneLine(std::string reason)
{
    for (char& c : reason)
        if (c == '\r' || c == '\n' || c == '\t')
            c = ' ';
    if (reason.size() > kMaxReasonLength) {
        std::size_t cut = kMaxReasonLength;
        while (cut > 0 && (static_cast<unsigned char>(reason[cut]) & 0xC0) == 0x80)
            --cut;  // not inside a UTF-8 character
        reason = reason.substr(0, cut) + "...";
    }
    return reason;
}

std::u16string Bounded(std::u16string shown)
{
    if (shown.size() > kMaxShownUnits)
        shown.resize(IsHighSurrogate(shown[kMaxShownUnits - 1]) ? kMaxShownUnits - 1 : kMaxShownUnits);
    return shown;
}

std::string HttpStatusReason(int status, std::string_view serviceMessage, std::string_view meaning)
{
    std::string reason = "HTTP " + std::to_string(status);
    if (status >= 300 && status < 400)
        meaning = "redirects are not followed";
    if (!meaning.empty())
        reason.append(": ").append(meaning);
    if (!serviceMessage.empty())
        reason.append(" (the server says: ").append(serviceMessage).append(")");
    return reason;
}

std::string WithWithheldKeyNote(std::string reason, bool keyWithheld)
{
    if (keyWithheld)
        reason.append(" (").append(kApiKeyWithheld).append(")");
    return reason;
}

std::string Utf8ForJson(std::u16string_view text)
{
    std::u16string sound(text);
    for (std::size_t i = 0; i < sound.size(); i += CharacterUnits(sound, i))
        if (CharacterUnits(sound, i) == 1 && (IsHighSurrogate(sound[i]) || IsLowSurrogate(sound[i])))
            sound[i] = u'\uFFFD';
    return Utf8FromUtf16(sound);
}

bool NoticeGap::Allows(std::int64_t nowMs)
{
    if (lastMs_ && nowMs - *lastMs_ < kServerNoticeGapMs)
        return false;
    lastMs_ = nowMs;
    return true;
}

} // namespace kx
