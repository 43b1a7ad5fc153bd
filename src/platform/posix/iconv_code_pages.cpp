#include "platform/posix/iconv_code_pages.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>
#include <string>

namespace kx {
namespace {

std::string IconvName(int codePage)
{
    switch (codePage) {
    case 65001:
        return "UTF-8";
    case 20127:
        return "ASCII";
    case 28591:
        return "ISO-8859-1";
    default:
        return "CP" + std::to_string(codePage);
    }
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str()))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv cannot convert " + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; on a bad input sequence appends `replacement` and skips
    // `skip` input bytes.
    std::string Run(std::string_view in, std::string_view replacement, std::size_t skip)
    {
        std::string out;
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[4096];
        while (srcLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst - buffer);
            if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
                out.append(replacement);
                const std::size_t n = std::min(skip, srcLeft);
                src += n;
                srcLeft -= n;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        return out;
    }

private:
    iconv_t cd_;
};

} // namespace

std::u16string IconvCodePages::ToWide(std::string_view bytes, int codePage)
{
    Converter converter("UTF-16LE", IconvName(codePage == 0 ? ansiCodePage_ : codePage));
    const std::string utf16 = converter.Run(bytes, std::string_view("\xFD\xFF", 2), 1);
    std::u16string out(utf16.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(utf16[2 * i]) |
                                       (static_cast<unsigned char>(utf16[2 * i + 1]) << 8));
    return out;
}

std::string IconvCodePages::FromWide(std::u16string_view text, int codePage)
{
    std::string utf16;
    utf16.reserve(text.size() * 2);
    for (char16_t c : text) {
        utf16.push_back(static_cast<char>(c & 0xFF));
        utf16.push_back(static_cast<char>(c >> 8));
    }
    Converter converter(IconvName(codePage == 0 ? ansiCodePage_ : codePage), "UTF-16LE");
    return converter.Run(utf16, "?", 2);
}

} // namespace kx
