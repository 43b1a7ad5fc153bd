#include "translate/service_translator.h"

#include "common/text.h"
#include "common/utf.h"
#include "translate/server_settings_rules.h"

#include <utility>
#include <vector>

namespace kx {

ServiceTranslator::ServiceTranslator(HttpPort& http, CodePagePort& codePages, std::u16string noticePrefix,
                                     MillisecondClock clock)
    : http_(http), noticePrefix_(std::move(noticePrefix)),
      clock_(clock ? std::move(clock) : MillisecondClock(SteadyMilliseconds)), held_(codePages, kServerHeldBytes)
{
}

Translation ServiceTranslator::Translate(std::u16string_view text)
{
    const std::optional<std::u16string> sentence = held_.Feed(text);
    if (!sentence)
        return {};
    try {
        return TranslateSentence(*sentence);
    } catch (const TranslationFailure&) {
        throw;
    } catch (const std::exception& e) {
        // Out of memory, most likely: the pieces held before are not lost.
        throw TranslationFailure(e.what(), *sentence);
    }
}

Translation ServiceTranslator::TranslateSentence(const std::u16string& sentence)
{
    if (const std::uint64_t forgotten = contextForgotten_; contextFor_ != forgotten) {
        context_.clear();
        contextFor_ = forgotten;
    }
    const std::vector<std::u16string> context(context_.begin(), context_.end());
    const ServiceRequest request = Request(sentence, context);
    if (cacheFor_ != request.configured) {
        answers_ = TranslationCache();
        cacheFor_ = request.configured;
    }
    // The whole request is the key: the same line in another context is asked again.
    const std::string key = request.http.url + '\n' + request.http.body;
    if (std::optional<std::string> known = std::exchange(skipCache_, false) ? std::nullopt : answers_.Find(key)) {
        Remember(sentence);
        return {Utf16FromUtf8(*known), {}};
    }

    Outcome outcome = Ask(request);
    std::u16string notice;
    if (request.keyWithheld && keyWithheldToldFor_ != request.configured) {
        keyWithheldToldFor_ = request.configured;
        notice = noticePrefix_ + Widen(kApiKeyWithheld);
    }
    if (!outcome.failure.empty() || !outcome.translation) {
        if (noticeGap_.Allows(clock_()))
            notice += (notice.empty() ? u"" : u"\r\n") + noticePrefix_ + Utf16FromUtf8(outcome.failure);
        // Shown untranslated, or as far as the answer is shown; no context either way.
        return {outcome.translation.value_or(sentence), notice, true};
    }
    answers_.Put(key, Utf8FromUtf16(*outcome.translation));
    Remember(sentence);
    return {std::move(*outcome.translation), notice};
}

ServiceTranslator::Outcome ServiceTranslator::Ask(const ServiceRequest& request)
{
    const auto failed = [&request](const std::string& reason) {
        return Outcome{std::nullopt,
                       WithWithheldKeyNote(OneLine(reason.empty() ? "no answer" : reason), request.keyWithheld)};
    };
    const HttpResponse response = http_.Post(request.http);
    if (!response.received)
        return failed(response.failure);
    if (response.status != 200) {
        const bool redirect = response.status >= 300 && response.status < 400;
        return failed(HttpStatusReason(response.status, redirect ? std::string() : ErrorMessage(response.body),
                                       StatusMeaning(response.status)));
    }
    ServiceAnswer answer = ReadAnswer(response.body);
    if (!answer.translation)
        return failed(answer.failure);
    // An empty answer would show nothing at all: the text is worth more.
    if (TrimBlanks(*answer.translation).empty())
        return failed(kAnswerTextEmpty);
    if (answer.translation->size() > kMaxShownUnits)
        return {Bounded(std::move(*answer.translation)), OneLine(std::string(kAnswerCutOff) + kAnswerTooLong)};
    return {std::move(answer.translation), {}};
}

void ServiceTranslator::Remember(const std::u16string& source)
{
    if (contextFor_ != contextForgotten_)
        return;  // the log was cleared while this line was asked
    context_.push_back(source);
    while (context_.size() > static_cast<std::size_t>(kMaxContextLines))
        context_.pop_front();
}

} // namespace kx
