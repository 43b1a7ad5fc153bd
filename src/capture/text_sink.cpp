#include "capture/text_sink.h"

#include <algorithm>
#include <utility>

namespace kx {
std::u16string ConvertDecoded(CodePagePort& codePages, const std::string& bytes, int codePage)
{
    std::u16string text = CodePageToWide(codePages, bytes, codePage);
    text.erase(std::remove(text.begin(), text.end(), u'\0'), text.end());
    return text;
}

SinkPlan PlanTextSink(std::u16string text, const SinkOptions& options, bool translate, bool addFullStop)
{
    SinkPlan plan;
    if (!translate) {
        plan.shownNow = std::move(text);
        return plan;
    }
    if (addFullStop)
        text.push_back(u'.');
    // A negative limit keeps nothing for the engine, like a limit of 0.
    const std::size_t limit = options.Flood > 0 ? static_cast<std::size_t>(options.Flood) : 0;
    if (options.FloodTrimmingOn() && text.size() > limit) {
        const std::size_t headLength = text.size() - limit;
        plan.shownNow = text.substr(0, headLength);
        text.erase(0, headLength);
    }
    plan.forEngine = std::move(text);
    return plan;
}

} // namespace kx
