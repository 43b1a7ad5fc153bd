#include "text_escapes.h"

namespace kx::e2e {
namespace {

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Reads `count` hex digits at `pos`; -1 when they are not all there.
long ReadHex(const std::wstring& s, size_t pos, int count)
{
    if (pos + count > s.size())
        return -1;
    long value = 0;
    for (int i = 0; i < count; ++i) {
        const int d = HexDigit(s[pos + i]);
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

// The common escapes; returns the character or -1.
int SimpleEscape(wchar_t c)
{
    switch (c) {
    case L'\\':
        return '\\';
    case L'r':
        return '\r';
    case L'n':
        return '\n';
    case L't':
        return '\t';
    default:
        return -1;
    }
}

void AppendUtf8(std::string& out, unsigned cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

std::optional<std::string> ParseByteEscapes(const std::wstring& arg)
{
    std::string out;
    for (size_t i = 0; i < arg.size(); ++i) {
        const wchar_t c = arg[i];
        if (c != L'\\') {
            if (c >= 0x80)
                return std::nullopt;
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (i + 1 >= arg.size())
            return std::nullopt;
        const wchar_t e = arg[++i];
        if (e == L'x') {
            const long v = ReadHex(arg, i + 1, 2);
            if (v < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(v));
            i += 2;
        } else if (const int s = SimpleEscape(e); s >= 0) {
            out.push_back(static_cast<char>(s));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<std::wstring> ParseTextEscapes(const std::wstring& arg)
{
    std::wstring out;
    for (size_t i = 0; i < arg.size(); ++i) {
        const wchar_t c = arg[i];
        if (c != L'\\') {
            out.push_back(c);
            continue;
        }
        if (i + 1 >= arg.size())
            return std::nullopt;
        const wchar_t e = arg[++i];
        if (e == L'u') {
            const long v = ReadHex(arg, i + 1, 4);
            if (v < 0)
                return std::nullopt;
            out.push_back(static_cast<wchar_t>(v));
            i += 4;
        } else if (const int s = SimpleEscape(e); s >= 0) {
            out.push_back(static_cast<wchar_t>(s));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::string ToUtf8(const std::wstring& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string ToUtf8OneLine(const std::wstring& text)
{
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
        case L'\r':
            escaped += L"\\r";
            break;
        case L'\n':
            escaped += L"\\n";
            break;
        case L'\t':
            escaped += L"\\t";
            break;
        case L'\\':
            escaped += L"\\\\";
            break;
        default:
            escaped.push_back(c);
            break;
        }
    }
    return ToUtf8(escaped);
}

} // namespace kx::e2e
