#include "translate/translation_engine.h"

#include "common/text.h"

#include <optional>
#include <vector>
#include <utility>

namespace kx {

std::string EngineDataFolder(const std::string& installFolder)
{
    const std::string folder = installFolder + "\\Dat";
    std::string doubled;
    doubled.reserve(folder.size() * 2);
    for (char c : folder) {
        doubled.push_back(c);
        if (c == '\\')
            doubled.push_back('\\');
    }
    return doubled;
}

std::u16string ShownTranslation(std::u16string_view answer)
{
    if (answer.size() <= 3)
        return {};
    return std::u16string(answer.substr(0, answer.size() - 3));
}

TranslationEngine::TranslationEngine(EnginePorts ports) : Held(ports.codePages, kEngineHeldBytes), ports_(std::move(ports))
{
}

TranslationEngine::~TranslationEngine() = default;

void TranslationEngine::Reset()
{
    EngineModule = nullptr;
    TranslateEntry = nullptr;
    FreeEntry = nullptr;
}

template <typename Fn> Fn TranslationEngine::Entry(const char* name)
{
    if (!EngineModule)
        return nullptr;
    return reinterpret_cast<Fn>(ports_.libraries.Find(EngineModule, name));
}

void TranslationEngine::ReportFailure(const char* message)
{
    EngineReady = false;
    if (ports_.logLine)
        ports_.logLine(Widen(message));
    ports_.prompts.ShowError(Widen(message));
}

void TranslationEngine::InitTransEngine()
{
    EngineReady = true;
    Held.Clear();
    LastTranslation.clear();
    EngineModule = nullptr;
    TranslateEntry = nullptr;
    FreeEntry = nullptr;

    const RegistryString folder =
        ports_.registry.ReadCurrentUserString(kEngineRegistryKey, kEngineFolderValue, kEngineFolderBufferBytes);
    if (!folder.keyOpened) {
        ReportFailure(kRegistryErrorMessage);
        return;
    }
    if (!folder.value || !ports_.files.IsExistingFolder(*folder.value)) {
        ReportFailure(kFilePathErrorMessage);
        return;
    }

    EngineModule = ports_.libraries.Load(*folder.value + "\\J2KEngine.dll");
    if (!EngineModule) {
        ReportFailure(kDllErrorMessage);
        return;
    }

    int result = 0;
    if (auto initialize = Entry<J2K_InitializeExFn>("J2K_InitializeEx")) {
        const std::string dataFolder = EngineDataFolder(*folder.value);
        result = initialize(kEngineUserKey, dataFolder.c_str());
    }
    // Only an exact 1 counts: the adapter must never be ready without both
    // the translate and the free entry points.
    if (result == 1) {
        TranslateEntry = Entry<J2K_TranslateMMNTFn>("J2K_TranslateMMNT");
        FreeEntry = Entry<J2K_FreeMemFn>("J2K_FreeMem");
        if (!TranslateEntry || !FreeEntry)
            result = 0;
    }
    if (result != 1) {
        ports_.libraries.Unload(EngineModule);
        EngineModule = nullptr;
        TranslateEntry = nullptr;
        FreeEntry = nullptr;
        ReportFailure(kDllErrorMessage);
    }
}

Translation TranslationEngine::Translate(std::u16string_view text)
{
    std::u16string answer;
    try {
        answer = Answer(text);
    } catch (...) {
        StopTransEngine();
        throw;
    }
    StopTransEngine();
    return {ShownTranslation(answer), {}};
}

std::u16string TranslationEngine::Untranslated(std::u16string_view text) const
{
    if (!text.empty() && text.back() == u'.')
        text.remove_suffix(1);
    return std::u16string(text);
}

std::u16string TranslationEngine::Answer(std::u16string_view text)
{
    const std::optional<std::u16string> sentence = Held.Feed(text);
    if (!sentence)
        return {};
    try {
        // One conversion serves both the check and the engine.
        const std::string shiftJis = ports_.codePages.FromWide(*sentence, kShiftJisCodePage);
        if (ports_.codePages.ToWide(shiftJis, kShiftJisCodePage) != *sentence)
            return TranslateAroundUnencodable(*sentence);
        EngineTranslate(shiftJis);
        std::u16string answer;
        if (TranslationAvailable && !LastTranslation.empty()) {
            LastTranslation += "\r\n";
            answer = CodePageToWide(ports_.codePages, LastTranslation, kKoreanCodePage);
        }
        LastTranslation.clear();
        TranslationAvailable = false;
        return answer;
    } catch (const std::exception& e) {
        LastTranslation.clear();
        TranslationAvailable = false;
        throw TranslationFailure(e.what(), Untranslated(*sentence));
    }
}

std::u16string TranslationEngine::TranslateAroundUnencodable(const std::u16string& sentence)
{
    // Runs of characters that Shift-JIS holds, and of those it does not; a
    // surrogate pair stays whole.
    struct Run {
        std::u16string text;
        bool encodable;
    };
    std::vector<Run> runs;
    for (std::size_t i = 0; i < sentence.size();) {
        const std::u16string_view character(sentence.data() + i, CharacterUnits(sentence, i));
        const bool encodable = ports_.codePages.Encodes(character, kShiftJisCodePage);
        if (runs.empty() || runs.back().encodable != encodable)
            runs.push_back({{}, encodable});
        runs.back().text += character;
        i += character.size();
    }
    std::u16string out;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const Run& run = runs[r];
        // The sentence's own full stop alone behind them needs no engine: it
        // is the letter the shown answer leaves out.
        const bool fullStopOnly = r + 1 == runs.size() && run.text == u".";
        if (!run.encodable || fullStopOnly) {
            out += run.text;
            continue;
        }
        EngineTranslate(ports_.codePages.FromWide(run.text, kShiftJisCodePage));
        if (TranslationAvailable && !LastTranslation.empty())
            out += CodePageToWide(ports_.codePages, LastTranslation, kKoreanCodePage);
        LastTranslation.clear();
        TranslationAvailable = false;
    }
    return out + u"\r\n";
}

void TranslationEngine::EngineTranslate(const std::string& shiftJis)
{
    if (shiftJis.empty())
        return;
    TranslationAvailable = true;
    if (!TranslateEntry) {
        LastTranslation.clear();
        return;
    }
    if (std::optional<std::string> known = std::exchange(SkipCache, false) ? std::nullopt : Answers.Find(shiftJis)) {
        LastTranslation = std::move(*known);
        return;
    }
    char* answer = TranslateEntry(0, shiftJis.c_str());
    // Copy before freeing: the engine's memory is never kept.
    LastTranslation = answer ? std::string(answer) : std::string();
    if (answer && FreeEntry)
        FreeEntry(answer);
    // No answer may be a passing failure: asked again next time.
    if (answer)
        Answers.Put(shiftJis, LastTranslation);
}

void TranslationEngine::StopTransEngine()
{
    if (auto stop = Entry<J2K_StopTranslationFn>("J2K_StopTranslation"))
        stop(0);
}

void TranslationEngine::TerminateTransEngine()
{
    if (EngineModule) {
        if (auto stop = Entry<J2K_StopTranslationFn>("J2K_StopTranslation"))
            stop(0);
        if (auto terminate = Entry<J2K_TerminateFn>("J2K_Terminate"))
            terminate();
    }
    EngineModule = nullptr;
    TranslateEntry = nullptr;
    FreeEntry = nullptr;
    EngineReady = false;
}

} // namespace kx
