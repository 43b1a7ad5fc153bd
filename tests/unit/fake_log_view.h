#pragma once
// A log view over a plain string that wraps lines at a fixed width, like a
// word-wrapped control with a monospaced font.
#include "platform/log_view_port.h"

#include <string>

namespace kx::testing {

class FakeLogView : public LogViewPort {
public:
    explicit FakeLogView(std::size_t wrapWidth = 1000) : wrapWidth_(wrapWidth) {}

    std::size_t TextLength() const override { return text.size(); }
    bool EndsWithLineBreak() const override { return text.size() >= 2 && text.ends_with(u"\r\n"); }
    int VisualLineCount() const override
    {
        if (text.empty())
            return 0;
        int lines = 0;
        std::size_t start = 0;
        while (true) {
            const std::size_t end = text.find(u"\r\n", start);
            const std::size_t length = (end == std::u16string::npos ? text.size() : end) - start;
            lines += length == 0 ? 1 : static_cast<int>((length + wrapWidth_ - 1) / wrapWidth_);
            if (end == std::u16string::npos)
                break;
            start = end + 2;
        }
        return EndsWithLineBreak() ? lines - 1 : lines;
    }
    void InsertAt(std::size_t position, const std::u16string& inserted) override
    {
        text.insert(position, inserted);
        ++inserts;
    }
    void Replace(std::size_t position, std::size_t length, const std::u16string& inserted) override
    {
        text.replace(position, length, inserted);
        ++rewrites;
        lastReplaced = {position, length, inserted};
    }
    void SetText(const std::u16string& replaced) override
    {
        text = replaced;
        ++replacements;
    }
    std::u16string Text() const override { return text; }
    void Reserve(std::size_t length) override { reserved = length; }

    std::u16string text;
    int inserts = 0;
    int replacements = 0;
    int rewrites = 0;
    struct Replaced {
        std::size_t position = 0, length = 0;
        std::u16string text;
        bool operator==(const Replaced&) const = default;
    } lastReplaced;
    std::size_t reserved = 0;

private:
    std::size_t wrapWidth_;
};

} // namespace kx::testing
