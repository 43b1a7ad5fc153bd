#include "translate/server_translator.h"

#include "common/http_url.h"
#include "common/text.h"
#include "common/utf.h"
#include "translate/chat_completions.h"
#include "translate/chat_stream.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace kx {
namespace {

std::string NotWhole(std::size_t unreadable)
{
    return "the answer is not whole: " + std::to_string(unreadable) +
           (unreadable == 1 ? " piece of it could not be read" : " pieces of it could not be read");
}

// A streamed answer while it is read: its events, and what is shown of
// their text, each new piece of which is looked at once.
struct StreamedAnswer {
    ChatStreamReader reader;
    ReasoningFilter filter;
    std::size_t filtered = 0;  // units of the reader's text the filter has had

    // The bytes that came; true when what is shown grew.
    bool Feed(std::string_view bytes)
    {
        reader.Feed(bytes);
        return TakeText();
    }
    void Finish()
    {
        reader.Finish();
        TakeText();
    }
    bool TooLong() const { return filter.Shown().size() > kMaxShownUnits; }

private:
    bool TakeText()
    {
        const std::u16string_view text = reader.Text();
        const std::size_t before = filter.Shown().size();
        filter.Append(text.substr(filtered));
        filtered = text.size();
        return filter.Shown().size() != before;
    }
};

} // namespace

ServerOutcome AskServer(HttpPort& http, const ServerSettings& settings, const std::string& apiKey,
                        std::u16string_view text, std::span<const ContextLine> context, const PartialAnswer& partial,
                        const MillisecondClock& clock)
{
    HttpRequest request;
    request.url = settings.url;
    request.body = BuildChatRequest(settings, text, context);
    const bool keyWithheld = !apiKey.empty() && !ApiKeyMayTravel(settings.url);
    request.bearerToken = keyWithheld ? std::string() : apiKey;
    request.timeoutSeconds = settings.timeoutSeconds;
    const auto failed = [keyWithheld](const std::string& reason) {
        return ServerOutcome{std::nullopt, WithWithheldKeyNote(OneLine(reason), keyWithheld), keyWithheld};
    };
    // An answer that broke off: what came, and why no more.
    const auto cutOff = [keyWithheld](std::u16string shown, const std::string& reason) {
        return ServerOutcome{std::move(shown), OneLine(kAnswerCutOff + reason), keyWithheld};
    };

    const MillisecondClock now = clock ? clock : MillisecondClock(SteadyMilliseconds);
    const std::int32_t timeoutSeconds = std::max<std::int32_t>(settings.timeoutSeconds, 1);
    const std::int64_t deadline = now() + std::int64_t{timeoutSeconds} * 1000;
    StreamedAnswer streamed;
    std::size_t bytesRead = 0;  // body bytes the reader has had
    bool tooLong = false;       // the request was ended at the bound of what is shown
    bool pastDeadline = false;  // ... or at the deadline
    if (settings.StreamOn()) {
        request.onBodyPiece = [&](std::string_view piece) {
            bytesRead += piece.size();
            const bool grew = streamed.Feed(piece);
            tooLong = streamed.TooLong();
            if (grew && partial) {
                if (tooLong)
                    partial(Bounded(streamed.filter.Shown()));
                else
                    partial(streamed.filter.Shown());  // no copy: the worker makes the one it needs
            }
            if (!tooLong && !streamed.reader.Ended() && now() >= deadline)
                pastDeadline = true;
            return tooLong || pastDeadline || streamed.reader.Ended() ? BodyWanted::Enough : BodyWanted::More;
        };
    }
    const HttpResponse response = http.Post(request);
    if (!response.received) {
        std::u16string received = Bounded(streamed.filter.Final());
        if (!received.empty())
            return cutOff(std::move(received), response.failure);
        return failed(response.failure);
    }
    if (response.status >= 300 && response.status < 400)
        return failed(HttpStatusReason(response.status));
    if (settings.StreamOn() && response.status == 200) {
        if (bytesRead < response.body.size())  // a port that hands on nothing before the end
            streamed.Feed(std::string_view(response.body).substr(bytesRead));
        streamed.Finish();
        const ChatStreamReader& reader = streamed.reader;
        std::u16string shown = Bounded(streamed.filter.Final());
        if (shown.empty())
            return failed(reader.Failure().empty() ? kAnswerTextEmpty : reader.Failure());
        if (!reader.Failure().empty())
            return cutOff(std::move(shown), reader.Failure());
        if (tooLong || streamed.TooLong())
            return cutOff(std::move(shown), kAnswerTooLong);
        if (pastDeadline)
            return cutOff(std::move(shown), NoAnswerWithin(timeoutSeconds));
        if (!reader.Complete())
            return cutOff(std::move(shown), kAnswerEndedEarly);
        if (reader.UnreadableEvents() != 0)  // shown as it came, but not as the answer
            return {std::move(shown), NotWhole(reader.UnreadableEvents()), keyWithheld};
        return {std::move(shown), {}, keyWithheld};
    }
    const ChatAnswer answer = ParseChatAnswer(response.body);
    if (response.status != 200) {
        constexpr std::string_view kSays = "the server says: ";
        const bool says = answer.failure.starts_with(kSays);
        return failed(HttpStatusReason(response.status, says ? std::string_view(answer.failure).substr(kSays.size()) : ""));
    }
    if (!answer.translation)
        return failed(answer.failure);
    // An empty answer would show nothing at all: the text is worth more.
    std::u16string shown = WithoutReasoning(*answer.translation);
    if (shown.empty())
        return failed(kAnswerTextEmpty);
    if (shown.size() > kMaxShownUnits)
        return cutOff(Bounded(std::move(shown)), kAnswerTooLong);
    return {std::move(shown), {}, keyWithheld};
}

ServerTranslator::ServerTranslator(HttpPort& http, CodePagePort& codePages, Clock clock)
    : http_(http), clock_(clock ? std::move(clock) : Clock(SteadyMilliseconds)),
      held_(codePages, kServerHeldBytes)
{
}

void ServerTranslator::Configure(const ServerSettings& settings, const std::string& apiKey)
{
    std::lock_guard lock(configMutex_);
    if (configured_ != 0 && settings == settings_ && apiKey == apiKey_)
        return;
    settings_ = settings;
    apiKey_ = apiKey;
    ++configured_;
}

Translation ServerTranslator::Translate(std::u16string_view text, const PartialAnswer& partial)
{
    const std::optional<std::u16string> sentence = held_.Feed(text);
    if (!sentence)
        return {};

    ServerSettings settings;
    std::string apiKey;
    {
        std::lock_guard lock(configMutex_);
        settings = settings_;
        apiKey = apiKey_;
        if (cacheFor_ != configured_) {
            answers_ = TranslationCache();
            cacheFor_ = configured_;
        }
        if (contextFor_ != contextForgotten_) {
            context_.clear();
            contextFor_ = contextForgotten_;
        }
    }
    const std::vector<ContextLine> context(context_.begin(), context_.end());
    // The whole request is the key: the same line in another context is asked again.
    const std::string key = settings.url + '\n' + BuildChatRequest(settings, *sentence, context);
    if (std::optional<std::string> known = std::exchange(skipCache_, false) ? std::nullopt : answers_.Find(key)) {
        std::u16string shown = Utf16FromUtf8(*known);
        Remember(*sentence, shown);
        return {std::move(shown), {}};
    }
    ServerOutcome outcome;
    try {
        outcome = AskServer(http_, settings, apiKey, *sentence, context, partial, clock_);
    } catch (const std::exception& e) {
        throw TranslationFailure(e.what(), *sentence);
    }
    std::u16string notice;
    if (outcome.keyWithheld && keyWithheldToldFor_ != cacheFor_) {
        keyWithheldToldFor_ = cacheFor_;
        notice = kServerNoticePrefix + Widen(kApiKeyWithheld);
    }
    if (!outcome.Complete()) {
        const std::u16string failure = Notice(outcome.failure);
        if (!failure.empty())
            notice += (notice.empty() ? u"" : u"\r\n") + failure;
        // Shown untranslated, or as far as the answer came; no context either way.
        return {outcome.translation.value_or(*sentence), notice, true};
    }
    answers_.Put(key, Utf8FromUtf16(*outcome.translation));
    Remember(*sentence, *outcome.translation);
    return {*outcome.translation, notice};
}

void ServerTranslator::ForgetContext()
{
    std::lock_guard lock(configMutex_);
    ++contextForgotten_;
}

void ServerTranslator::Remember(const std::u16string& source, const std::u16string& translation)
{
    {
        std::lock_guard lock(configMutex_);
        if (contextFor_ != contextForgotten_)
            return;  // the log was cleared while this line was asked
    }
    context_.push_back({source, translation});
    while (context_.size() > static_cast<std::size_t>(kMaxContextLines))
        context_.pop_front();
}

std::chrono::milliseconds ServerTranslator::WaitLimit() const
{
    std::lock_guard lock(configMutex_);
    return std::chrono::seconds(std::max<std::int32_t>(settings_.timeoutSeconds, 1));
}

std::u16string ServerTranslator::Notice(const std::string& reason)
{
    if (!noticeGap_.Allows(clock_()))
        return {};
    return kServerNoticePrefix + Utf16FromUtf8(reason);
}

} // namespace kx
