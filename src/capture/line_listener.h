#pragma once
// Told of each captured line as it goes through the log: once when it is
// captured, then each time what the log shows for it changes (a draft, an
// answer as far as it is written, the whole answer, a correction), all under
// one id. The capture pipeline calls it on the UI thread.
#include <cstdint>
#include <string>

namespace kx {

class LineListener {
public:
    virtual ~LineListener() = default;
    // `source`: the text as captured, after the filters and substitutions.
    virtual void LineCaptured(std::uint64_t id, const std::u16string& source) = 0;
    // `final`: the line shows this until the user changes it (corrects it,
    // has it translated again); else more is still to come.
    virtual void LineShown(std::uint64_t id, const std::u16string& source, const std::u16string& shown,
                           bool final) = 0;
};

} // namespace kx
