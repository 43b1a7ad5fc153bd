// The AGTH command-line builders and the option history on any text.
#include "agth/agth_rules.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// Latin-1 both ways, enough to widen the parameters.
struct Latin1 : kx::CodePagePort {
    std::u16string ToWide(std::string_view bytes, int) override { return std::u16string(bytes.begin(), bytes.end()); }
    std::string FromWide(std::u16string_view text, int) override
    {
        std::string out;
        for (char16_t c : text)
            out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
        return out;
    }
};

} // namespace

using kx::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\n');
    const std::string options = input.substr(0, split);
    const std::string rest = split == std::string::npos ? std::string() : input.substr(split + 1);

    const std::string withDefaults = kx::ApplyDefaultAgthSwitches(options);
    Check(withDefaults.size() >= options.size());
    (void)kx::AdjustMethodForHookOptions(static_cast<int>(size % 5), options);
    const std::string withoutProcess = kx::RemoveProcessSwitch(options);
    Check(withoutProcess.size() <= options.size());
    const std::string attach = kx::BuildAttachParameters(rest, options);
    Check(attach.compare(0, 2, "/P") == 0);
    Latin1 codePages;
    const std::u16string path(rest.begin(), rest.end());
    const std::u16string run = kx::BuildRunParameters(codePages, std::u16string(options.begin(), options.end()), path);
    Check(run.size() >= path.size() + 1 && run.compare(run.size() - path.size(), path.size(), path) == 0);
    const std::u16string directory = kx::LaunchDirectory(path);
    Check(directory.empty() || (directory.back() == u'\\' && path.compare(0, directory.size(), directory) == 0));

    // The history: at most ten items, none blank, a saved list reloads to
    // itself when no item holds a comma.
    std::vector<std::string> items = kx::LoadOptionHistory(rest);
    for (const std::string& item : items)
        Check(!kx::IsBlankText(item));
    const bool shown = kx::UpdateOptionHistory(items, options);
    Check(!shown || (!items.empty() && items.front() == options));
    const std::string saved = kx::SaveOptionHistory(items);
    Check(static_cast<std::size_t>(std::count(saved.begin(), saved.end(), ',')) >= 9);
    bool commaFree = true;
    for (const std::string& item : items)
        commaFree = commaFree && item.find(',') == std::string::npos;
    if (commaFree) {
        std::vector<std::string> kept(items.begin(), items.begin() + std::min<std::size_t>(items.size(), 10));
        Check(kx::LoadOptionHistory(saved) == kept);
    }
    return 0;
}
