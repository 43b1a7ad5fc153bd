#include "translate/chat_stream.h"

#include "common/text.h"
#include "common/utf.h"
#include "translate/chat_completions.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <utility>

namespace kx {
namespace {

using Json = nlohmann::json;

// A body kept whole only while it could still be a plain answer.
constexpr std::size_t kMaxWholeBody = 16u * 1024u * 1024u;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The JSON of one event. The JSON library refuses a string that holds bytes
// that are no UTF-8 or half of a surrogate pair, and that is just what a
// letter cut between two events leaves in each, so the strings are read
// here: their bytes as they are, each \uXXXX escape as its code unit in
// three bytes (a surrogate on its own too, as Utf8FromUtf16 writes one), for
// Utf8Decoder to join with what follows. The rest is read as the library
// reads it; the scalars by the library itself.
class EventJson {
public:
    static std::optional<Json> Read(std::string_view text)
    {
        EventJson reader(text);
        std::optional<Json> value = reader.Value(0);
        reader.SkipBlanks();
        if (reader.at_ != text.size())
            return std::nullopt;
        return value;
    }

private:
    explicit EventJson(std::string_view text) : text_(text) {}

    static constexpr int kMaxDepth = 64;

    void SkipBlanks()
    {
        while (at_ < text_.size() && std::string_view(" \t\r\n").find(text_[at_]) != std::string_view::npos)
            ++at_;
    }

    bool Take(char c)
    {
        SkipBlanks();
        if (at_ >= text_.size() || text_[at_] != c)
            return false;
        ++at_;
        return true;
    }

    std::optional<Json> Value(int depth)
    {
        SkipBlanks();
        if (at_ >= text_.size() || depth > kMaxDepth)
            return std::nullopt;
        switch (text_[at_]) {
        case '{':
            return Object(depth);
        case '[':
            return Array(depth);
        case '"':
            if (std::optional<std::string> text = String())
                return Json(std::move(*text));
            return std::nullopt;
        default:
            return Scalar();
        }
    }

    std::optional<Json> Object(int depth)
    {
        ++at_;
        Json object = Json::object();
        if (Take('}'))
            return object;
        do {
            SkipBlanks();
            std::optional<std::string> key = String();
            if (!key || !Take(':'))
                return std::nullopt;
            std::optional<Json> value = Value(depth + 1);
            if (!value)
                return std::nullopt;
            object[*key] = std::move(*value);
        } while (Take(','));
        return Take('}') ? std::optional<Json>(std::move(object)) : std::nullopt;
    }

    std::optional<Json> Array(int depth)
    {
        ++at_;
        Json array = Json::array();
        if (Take(']'))
            return array;
        do {
            std::optional<Json> value = Value(depth + 1);
            if (!value)
                return std::nullopt;
            array.push_back(std::move(*value));
        } while (Take(','));
        return Take(']') ? std::optional<Json>(std::move(array)) : std::nullopt;
    }

    std::optional<std::string> String()
    {
        if (at_ >= text_.size() || text_[at_] != '"')
            return std::nullopt;
        ++at_;
        std::string out;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (at_ >= text_.size())
                return std::nullopt;
            switch (const char escaped = text_[at_++]) {
            case '"':
            case '\\':
            case '/':
                out.push_back(escaped);
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                std::optional<char16_t> unit = Hex4();
                if (!unit)
                    return std::nullopt;
                out += Utf8FromUtf16(std::u16string_view(&*unit, 1));
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;  // the string never ends
    }

    std::optional<char16_t> Hex4()
    {
        if (text_.size() - at_ < 4)
            return std::nullopt;
        unsigned unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigitValue(text_[at_++]);
            if (digit < 0)
                return std::nullopt;
            unit = unit * 16 + static_cast<unsigned>(digit);
        }
        return static_cast<char16_t>(unit);
    }

    // true, false, null or a number.
    std::optional<Json> Scalar()
    {
        const std::size_t start = at_;
        while (at_ < text_.size() && std::string_view(",]} \t\r\n").find(text_[at_]) == std::string_view::npos)
            ++at_;
        Json value = Json::parse(text_.substr(start, at_ - start), nullptr, false);
        if (value.is_discarded() || value.is_structured() || value.is_string())
            return std::nullopt;
        return value;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// A string of an event as UTF-8, for a line of the log.
std::string Readable(std::string_view bytes)
{
    Utf8Decoder decoder;
    std::u16string text;
    decoder.Append(bytes, text);
    decoder.Finish(text);
    return Utf8FromUtf16(text);
}

} // namespace

bool ChatStreamReader::Feed(std::string_view bytes)
{
    if (!started_) {
        // A byte-order mark before the first event is no part of it.
        while (!bytes.empty() && start_.size() < kByteOrderMark.size() && bytes.front() == kByteOrderMark[start_.size()]) {
            start_.push_back(bytes.front());
            bytes.remove_prefix(1);
        }
        if (start_.size() == kByteOrderMark.size())
            start_.clear();
        else if (bytes.empty())
            return false;  // it may still be one
        started_ = true;
        const std::string notAMark = std::exchange(start_, {});
        const bool grew = Consume(notAMark);
        return Consume(bytes) || grew;
    }
    return Consume(bytes);
}

bool ChatStreamReader::Consume(std::string_view bytes)
{
    if (Ended())
        return false;
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
            if (Ended())
                break;
        } else {
            line_.push_back(c);
        }
    }
    return text_.size() != before;
}

void ChatStreamReader::Finish()
{
    if (!started_) {
        started_ = true;
        Consume(std::exchange(start_, {}));
    }
    if (!line_.empty()) {
        Line(line_);
        line_.clear();
    }
    Dispatch();
    decoder_.Finish(text_);
    if (sawEvent_ || Ended())
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
    text_ = *answer.translation;
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
    if (!hasData_ && value == "[DONE]") {
        // The end, as soon as its line is: a server may keep the connection
        // without a byte more, and the last byte that came may be held back
        // until more comes (see win32_http.cpp).
        Event(value);
        return;
    }
    if (!hasData_ && !Ended()) {
        // An event whose first data line is whole JSON counts as its line
        // ends: the blank line that closes it may be held back until more
        // comes, which would hold the words back as long.
        if (Event(value, false))
            return;
    }
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

bool ChatStreamReader::Event(std::string_view data, bool countUnreadable)
{
    if (Ended())
        return true;
    if (data == "[DONE]") {
        decoder_.Finish(text_);
        complete_ = true;
        return true;
    }
    if (data.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return true;  // an event that says nothing
    const std::optional<Json> read = EventJson::Read(data);
    if (!read) {
        if (countUnreadable)
            ++unreadable_;
        return false;
    }
    const Json& event = *read;
    if (!event.is_object())
        return true;  // not one of ours: passed over
    if (const auto error = event.find("error"); error != event.end()) {
        if (error->is_object() && error->contains("message") && (*error)["message"].is_string())
            failure_ = "the server says: " + Readable((*error)["message"].get<std::string>());
        else
            failure_ = "the server answers with an error";
        return true;
    }
    const auto choices = event.find("choices");
    if (choices == event.end() || !choices->is_array() || choices->empty() || !(*choices)[0].is_object())
        return true;
    const Json& first = (*choices)[0];
    // A reasoning model's "reasoning_content" is not the answer.
    const auto delta = first.find("delta");
    if (delta != first.end() && delta->is_object()) {
        const auto content = delta->find("content");
        if (content != delta->end() && content->is_string())
            decoder_.Append(content->get_ref<const std::string&>(), text_);
    }
    return true;
}

} // namespace kx
