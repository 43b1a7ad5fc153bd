#include "translate/chat_stream.h"

#include "common/utf.h"
#include "translate/chat_completions.h"

#include <nlohmann/json.hpp>

namespace kx {
namespace {

using Json = nlohmann::json;

// A body kept whole only while it could still be a plain answer.
constexpr std::size_t kMaxWholeBody = 16u * 1024u * 1024u;

} // namespace

bool ChatStreamReader::Feed(std::string_view bytes)
{
    if (mayBeWhole_) {
        if (whole_.size() + bytes.size() > kMaxWholeBody)
            mayBeWhole_ = false;
        else
            whole_.append(bytes);
    }
    const std::size_t before = text_.size();
    for (const char c : bytes) {
        if (c == '\n' && afterCr_) {
            afterCr_ = false;
            continue;
        }
        afterCr_ = c == '\r';
        if (c == '\r' || c == '\n') {
            Line(line_);
            line_.clear();
        } else {
            line_.push_back(c);
        }
    }
    return text_.size() != before;
}

void ChatStreamReader::Finish()
{
    if (!line_.empty()) {
        Line(line_);
        line_.clear();
    }
    Dispatch();
    if (sawEvent_ || complete_ || !failure_.empty())
        return;
    if (!mayBeWhole_) {
        failure_ = "the answer is neither a stream nor JSON";
        return;
    }
    const ChatAnswer answer = ParseChatAnswer(whole_);
    if (!answer.translation) {
        failure_ = answer.failure;
        return;
    }
    text_ = Utf8FromUtf16(*answer.translation);
    complete_ = true;
}

void ChatStreamReader::Line(std::string_view line)
{
    if (line.empty()) {
        Dispatch();
        return;
    }
    if (line.front() == ':')
        return;  // a comment: a server keeping the connection alive
    const std::size_t colon = line.find(':');
    const std::string_view field = line.substr(0, colon);
    std::string_view value = colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
    if (!value.empty() && value.front() == ' ')
        value.remove_prefix(1);
    if (field != "data")
        return;  // event, id, retry: nothing the answer needs
    sawEvent_ = true;
    mayBeWhole_ = false;
    whole_.clear();
    if (hasData_)
        data_.push_back('\n');
    data_.append(value);
    hasData_ = true;
}

void ChatStreamReader::Dispatch()
{
    if (!hasData_)
        return;
    const std::string data = std::move(data_);
    data_.clear();
    hasData_ = false;
    Event(data);
}

void ChatStreamReader::Event(std::string_view data)
{
    if (complete_ || !failure_.empty())
        return;
    if (data == "[DONE]") {
        complete_ = true;
        return;
    }
    const Json event = Json::parse(data, nullptr, false);
    if (!event.is_object())
        return;  // not one of ours: passed over
    if (const auto error = event.find("error"); error != event.end()) {
        if (error->is_object() && error->contains("message") && (*error)["message"].is_string())
            failure_ = "the server says: " + (*error)["message"].get<std::string>();
        else
            failure_ = "the server answers with an error";
        return;
    }
    const auto choices = event.find("choices");
    if (choices == event.end() || !choices->is_array() || choices->empty() || !(*choices)[0].is_object())
        return;
    const Json& first = (*choices)[0];
    // A reasoning model's "reasoning_content" is not the answer.
    const auto delta = first.find("delta");
    if (delta != first.end() && delta->is_object()) {
        const auto content = delta->find("content");
        if (content != delta->end() && content->is_string())
            text_ += content->get<std::string>();
    }
}

} // namespace kx
