#pragma once
// The log view: a read-only, word-wrapped, multi-line Unicode text view whose
// lines are separated by "\r\n".
#include <cstddef>
#include <string>

namespace kx {

class LogViewPort {
public:
    virtual ~LogViewPort() = default;
    // Number of UTF-16 units in the view.
    virtual std::size_t TextLength() const = 0;
    // True when the content ends with "\r\n".
    virtual bool EndsWithLineBreak() const = 0;
    // Lines as the view shows them: wrapped lines count as the lines they
    // occupy; an empty last line after a closing "\r\n" is not counted; an
    // empty view has 0 lines.
    virtual int VisualLineCount() const = 0;
    // Inserts `text` at unit offset `position` (at most TextLength()), in place,
    // leaves the caret behind it and scrolls it into view.
    virtual void InsertAt(std::size_t position, const std::u16string& text) = 0;
    // Replaces the `length` units at `position` (within the text) with
    // `text`, in place, as InsertAt leaves the caret and the scroll.
    virtual void Replace(std::size_t position, std::size_t length, const std::u16string& text) = 0;
    // Makes room for `length` units in all, so that a huge text shown piece
    // by piece is not copied again each time the view outgrows its room.
    virtual void Reserve(std::size_t length) = 0;
    // Replaces the whole content and shows it from its beginning.
    virtual void SetText(const std::u16string& text) = 0;
    // The whole content.
    virtual std::u16string Text() const = 0;
};

} // namespace kx
