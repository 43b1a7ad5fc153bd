#pragma once
// The DeepL API as an engine: one POST to /v2/translate per text, a JSON
// body from Japanese into Korean, the key as "Authorization: DeepL-Auth-Key
// <key>". The source lines translated before go along as "context", which
// DeepL reads but neither translates nor bills.
#include "platform/code_page_port.h"
#include "platform/http_port.h"
#include "settings/app_settings.h"
#include "translate/service_translator.h"

#include <chrono>
#include <span>
#include <string>
#include <string_view>

namespace kx {

inline constexpr const char16_t* kDeepLNoticePrefix = u"DeepL: ";

// The body in UTF-8: {"text":[text],"source_lang":"JA","target_lang":"KO"}
// and, when there are earlier lines, "context": the last
// settings.contextLines of `context` (oldest first) joined by "\n".
std::string BuildDeepLRequest(const DeepLSettings& settings, std::u16string_view text,
                              std::span<const std::u16string> context = {});
// translations[0].text of a 200 answer, or why there is none.
ServiceAnswer ReadDeepLAnswer(std::string_view body);
// What an error answer ({"message": ..., "detail": ...}) says: its message,
// then its detail after ": "; empty when it holds neither.
std::string DeepLErrorMessage(std::string_view body);

class DeepLTranslator : public ServiceTranslator {
public:
    DeepLTranslator(HttpPort& http, CodePagePort& codePages, MillisecondClock clock = {});

    // Any thread: the URL, time-out, context and key from the next text on.
    // Answers kept under other settings or another key are forgotten.
    void Configure(const DeepLSettings& settings, const std::string& apiKey);
    // A request ends at its time-out: a text waits no longer.
    std::chrono::milliseconds WaitLimit() const override;

private:
    ServiceRequest Request(std::u16string_view sentence, std::span<const std::u16string> context) const override;
    ServiceAnswer ReadAnswer(std::string_view body) const override { return ReadDeepLAnswer(body); }
    std::string ErrorMessage(std::string_view body) const override { return DeepLErrorMessage(body); }
    std::string_view StatusMeaning(int status) const override;

    ServiceConfiguration<DeepLSettings> configuration_;
};

} // namespace kx
