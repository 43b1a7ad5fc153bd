#pragma once
// Papago Translation of NAVER Cloud Platform as an engine: one POST per text
// to its text translation endpoint, a JSON body from Japanese into Korean,
// the application's client ID and secret in the X-NCP-APIGW-API-KEY-ID and
// X-NCP-APIGW-API-KEY headers. Papago takes no context.
#include "platform/code_page_port.h"
#include "platform/http_port.h"
#include "settings/app_settings.h"
#include "translate/service_translator.h"

#include <chrono>
#include <span>
#include <string>
#include <string_view>

namespace kx {

inline constexpr const char16_t* kPapagoNoticePrefix = u"Papago: ";
inline constexpr const char* kPapagoKeyIdHeader = "X-NCP-APIGW-API-KEY-ID";
inline constexpr const char* kPapagoKeyHeader = "X-NCP-APIGW-API-KEY";

// The body in UTF-8: {"source":"ja","target":"ko","text":text}, with
// "honorific":true when settings.HonorificOn().
std::string BuildPapagoRequest(const PapagoSettings& settings, std::u16string_view text);
// message.result.translatedText of a 200 answer, or why there is none.
ServiceAnswer ReadPapagoAnswer(std::string_view body);
// What an error answer ({"error": {"errorCode": ..., "message": ...,
// "details": ...}}) says, as "<errorCode>: <message> - <details>" with what
// it holds of them; empty when it holds none.
std::string PapagoErrorMessage(std::string_view body);

class PapagoTranslator : public ServiceTranslator {
public:
    PapagoTranslator(HttpPort& http, CodePagePort& codePages, MillisecondClock clock = {});

    // Any thread: the URL, client ID, honorific and time-out, and the client
    // secret (`apiKey`), from the next text on. Answers kept under other
    // settings or another secret are forgotten.
    void Configure(const PapagoSettings& settings, const std::string& apiKey);
    // A request ends at its time-out: a text waits no longer.
    std::chrono::milliseconds WaitLimit() const override;

private:
    ServiceRequest Request(std::u16string_view sentence, std::span<const std::u16string> context) const override;
    ServiceAnswer ReadAnswer(std::string_view body) const override { return ReadPapagoAnswer(body); }
    std::string ErrorMessage(std::string_view body) const override { return PapagoErrorMessage(body); }

    ServiceConfiguration<PapagoSettings> configuration_;
};

} // namespace kx
