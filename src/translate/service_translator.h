#pragma once
// What the engines that ask a translation service one JSON POST per text
// (DeepL, Papago) share with the translation server's engine: short pieces
// held for the next text, answers kept for the run by URL and request body,
// the key only where ApiKeyMayTravel allows (the log told once when it
// stays home), and a failure shown untranslated with, at most once per ten
// seconds, a reason line. What each service asks and answers is its own.
#include "platform/code_page_port.h"
#include "platform/http_port.h"
#include "translate/held_sentence.h"
#include "translate/http_engine_rules.h"
#include "translate/translation_cache.h"
#include "translate/translator.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kx {

// One request as a service engine makes it.
struct ServiceRequest {
    HttpRequest http;
    bool keyWithheld = false;       // a key was left out: the URL may not carry it
    std::uint64_t configured = 0;   // the Configure it follows: answers kept under another are forgotten
};

// What an answer's body says: the translation, or why there is none.
struct ServiceAnswer {
    std::optional<std::u16string> translation;
    std::string failure;
};

// The settings and key of a service engine: set from any thread, taken
// whole on the engine thread.
template <class Settings>
class ServiceConfiguration {
public:
    struct Taken {
        Settings settings;
        std::string apiKey;
        std::uint64_t configured = 0;  // counts the Configure calls that changed something
    };

    // False when nothing changed (the answers kept stay valid).
    bool Set(const Settings& settings, const std::string& apiKey)
    {
        std::lock_guard lock(mutex_);
        if (taken_.configured != 0 && settings == taken_.settings && apiKey == taken_.apiKey)
            return false;
        taken_.settings = settings;
        taken_.apiKey = apiKey;
        ++taken_.configured;
        return true;
    }
    Taken Take() const
    {
        std::lock_guard lock(mutex_);
        return taken_;
    }

private:
    mutable std::mutex mutex_;
    Taken taken_;
};

// A request of at least one second's time-out ends then: a text waits no longer.
inline std::chrono::milliseconds RequestWaitLimit(std::int32_t timeoutSeconds)
{
    return std::chrono::seconds(timeoutSeconds < 1 ? 1 : timeoutSeconds);
}

class ServiceTranslator : public Translator {
public:
    // The engine thread: the answer shown whole; on a failure the text
    // untranslated (or an answer cut at kMaxShownUnits) and, at most once
    // per ten seconds, why.
    Translation Translate(std::u16string_view text) override;
    // Any thread.
    void ForgetContext() override { ++contextForgotten_; }
    void Abort() override { http_.Cancel(); }
    void SkipCacheOnce() override { skipCache_ = true; }

protected:
    // `noticePrefix` begins each line for the log, e.g. u"DeepL: ".
    ServiceTranslator(HttpPort& http, CodePagePort& codePages, std::u16string noticePrefix, MillisecondClock clock);

    // The request for `sentence`, the source lines translated whole before
    // it following as context (oldest first, at most kMaxContextLines).
    virtual ServiceRequest Request(std::u16string_view sentence, std::span<const std::u16string> context) const = 0;
    // The body of a 200 answer read.
    virtual ServiceAnswer ReadAnswer(std::string_view body) const = 0;
    // What the body of an answer with another status says of the failure,
    // in the service's own words; empty when it says nothing readable.
    virtual std::string ErrorMessage(std::string_view body) const = 0;
    // What a status means for this service, where its code alone says too little.
    virtual std::string_view StatusMeaning(int status) const
    {
        static_cast<void>(status);
        return {};
    }

private:
    struct Outcome {
        std::optional<std::u16string> translation;  // also an answer cut off
        std::string failure;
    };
    Translation TranslateSentence(const std::u16string& sentence);
    Outcome Ask(const ServiceRequest& request);
    // A line translated whole, as context for the next ones.
    void Remember(const std::u16string& source);

    HttpPort& http_;
    std::u16string noticePrefix_;
    MillisecondClock clock_;
    std::atomic<std::uint64_t> contextForgotten_{0};  // counts ForgetContext calls

    // The engine thread's own.
    std::uint64_t cacheFor_ = 0;        // the Configure the answers belong to
    TranslationCache answers_;          // by URL and request body
    bool skipCache_ = false;            // the next text is asked past answers_
    HeldSentence held_;                 // short pieces held for the next text
    std::deque<std::u16string> context_;  // the last source lines translated whole, oldest first
    std::uint64_t contextFor_ = 0;        // the ForgetContext count it belongs to
    NoticeGap noticeGap_;
    std::uint64_t keyWithheldToldFor_ = 0;  // the Configure whose withheld key the log has told
};

} // namespace kx
