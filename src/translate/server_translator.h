#pragma once
// The second engine: a translation server that speaks the chat-completions
// API, asked over HTTP on the engine thread. It keeps the first engine's
// habits where they serve the reader (short pieces held for the next text,
// answers kept for the run) and drops those that exist only for ezTrans's
// answer form (the full stop and the three letters cut from the answer).
// A failure shows the text untranslated with a reason line for the log, at
// most one line per ten seconds.
#include "platform/code_page_port.h"
#include "platform/http_port.h"
#include "settings/app_settings.h"
#include "translate/chat_completions.h"
#include "translate/held_sentence.h"
#include "translate/http_engine_rules.h"
#include "translate/translation_cache.h"
#include "translate/translator.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

inline constexpr const char16_t* kServerNoticePrefix = u"Translation server: ";
inline constexpr const char* kAnswerEndedEarly = "the answer ended before it was complete";

// One exchange with a server: the translation, or why there is none, or
// both when a streamed answer broke off (what came is worth showing). The
// API key goes only where ApiKeyMayTravel allows; elsewhere the request goes
// without it and `keyWithheld` says so.
struct ServerOutcome {
    std::optional<std::u16string> translation;  // without the reasoning before it
    std::string failure;
    bool keyWithheld = false;
    bool Complete() const { return translation && failure.empty(); }
};
// With settings.stream on, the answer is read as it is written and `partial`
// is told each time what is shown of it grows; the time-out is a deadline for
// the whole answer, on `clock` (the steady clock when not given), however
// long the server goes on writing.
ServerOutcome AskServer(HttpPort& http, const ServerSettings& settings, const std::string& apiKey,
                        std::u16string_view text, std::span<const ContextLine> context = {},
                        const PartialAnswer& partial = {}, const MillisecondClock& clock = {});

class ServerTranslator : public Translator {
public:
    using Clock = MillisecondClock;
    ServerTranslator(HttpPort& http, CodePagePort& codePages, Clock clock = {});

    // Any thread: the server to ask from the next text on. Answers kept
    // from another server, model or prompt are forgotten.
    void Configure(const ServerSettings& settings, const std::string& apiKey);

    // The engine thread: the answer shown whole; on a failure the text
    // untranslated and, at most once per ten seconds, why. The lines
    // translated before go along as context.
    Translation Translate(std::u16string_view text) override { return Translate(text, {}); }
    Translation Translate(std::u16string_view text, const PartialAnswer& partial) override;
    void Abort() override { http_.Cancel(); }
    void SkipCacheOnce() override { skipCache_ = true; }
    void ForgetContext() override;
    // A request ends at the server's time-out: a text waits no longer.
    std::chrono::milliseconds WaitLimit() const override;

private:
    // The line for the log about a failure, or nothing this soon after the last one.
    std::u16string Notice(const std::string& reason);
    // A line translated whole, as context for the next ones.
    void Remember(const std::u16string& source, const std::u16string& translation);

    HttpPort& http_;
    Clock clock_;

    mutable std::mutex configMutex_;
    ServerSettings settings_;   // guarded by configMutex_
    std::string apiKey_;        // guarded by configMutex_
    std::uint64_t configured_ = 0;  // guarded by configMutex_: counts Configure calls
    std::uint64_t contextForgotten_ = 0;  // guarded by configMutex_: counts ForgetContext calls

    // The engine thread's own.
    std::uint64_t cacheFor_ = 0;   // the Configure the answers belong to
    TranslationCache answers_;     // by URL and request body
    bool skipCache_ = false;       // the next text is asked past answers_
    HeldSentence held_;            // short pieces held for the next text
    std::deque<ContextLine> context_;  // the last lines translated, oldest first
    std::uint64_t contextFor_ = 0;     // the ForgetContext count it belongs to
    NoticeGap noticeGap_;
    std::uint64_t keyWithheldToldFor_ = 0;  // the Configure whose withheld key the log has told
};

} // namespace kx
