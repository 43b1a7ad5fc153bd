// A streamed answer, whatever it holds and wherever its reads are cut: no
// crash, and the same text, end, failure and unreadable events as when it
// comes in one read.
#include "fuzz_check.h"
#include "translate/chat_stream.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using kx::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t cut = 1 + data[0] % 16;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    kx::ChatStreamReader whole;
    whole.Feed(bytes);
    whole.Finish();

    kx::ChatStreamReader pieces;
    std::size_t length = 0;
    for (std::size_t at = 0; at < bytes.size(); at += cut) {
        pieces.Feed(bytes.substr(at, cut));
        Check(pieces.Text().size() >= length);  // the text only grows
        length = pieces.Text().size();
    }
    pieces.Finish();
    Check(pieces.Text() == whole.Text());
    Check(pieces.Complete() == whole.Complete());
    Check(pieces.Failure() == whole.Failure());
    Check(pieces.UnreadableEvents() == whole.UnreadableEvents());
    return 0;
}
