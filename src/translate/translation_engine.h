#pragma once
// Binds the ezTrans Japanese-to-Korean engine (J2KEngine.dll): finds it
// through the registry, loads and initialises it, and turns UTF-16 text into
// its Korean translation. Shift-JIS goes in, code page 949 comes out.
// Initialisation runs on the UI thread at start-up; from then on one thread
// at a time (the engine thread) translates, and termination follows after
// that thread has ended.
#include "platform/code_page_port.h"
#include "platform/file_system_port.h"
#include "platform/library_port.h"
#include "platform/prompts_port.h"
#include "platform/registry_port.h"
#include "translate/engine_entry_points.h"
#include "translate/held_sentence.h"
#include "translate/translation_cache.h"
#include "translate/translator.h"

#include <functional>
#include <string>
#include <string_view>

namespace kx {

inline constexpr const char* kEngineRegistryKey = "Software\\ChangShin\\ezTrans";
inline constexpr const char* kEngineFolderValue = "FilePath";
inline constexpr std::size_t kEngineFolderBufferBytes = 250;
inline constexpr const char* kEngineUserKey = "KESTRU000068";  // six capitals, six digits
inline constexpr int kKoreanCodePage = 949;

inline constexpr const char* kRegistryErrorMessage = "Translation Engine failed to initialize : Registry Error";
inline constexpr const char* kFilePathErrorMessage = "Translation Engine failed to initialize : FilePath not found";
inline constexpr const char* kDllErrorMessage = "Translation Engine failed to initialize : DLL Error";

// Install folder + "\Dat" with every backslash byte doubled.
std::string EngineDataFolder(const std::string& installFolder);

struct EnginePorts {
    RegistryPort& registry;
    FileSystemPort& files;
    LibraryPort& libraries;
    CodePagePort& codePages;
    PromptsPort& prompts;
    std::function<void(const std::u16string&)> logLine;  // each failure message, as a new line of the log
};

// ezTrans holds a text of at most two Shift-JIS bytes for the next one.
inline constexpr std::size_t kEngineHeldBytes = 2;

// The part of the engine's answer that is shown: without its closing "\r\n"
// and the letter before it (the translated full stop).
std::u16string ShownTranslation(std::u16string_view answer);

class TranslationEngine : public Translator {
public:
    explicit TranslationEngine(EnginePorts ports);
    ~TranslationEngine() override;
    TranslationEngine(const TranslationEngine&) = delete;
    TranslationEngine& operator=(const TranslationEngine&) = delete;

    // Back to the unloaded state (main window creation).
    void Reset();

    void InitTransEngine();
    // The engine thread: the shown part of the engine's answer. Every call
    // ends with StopTransEngine, as the engine expects after a translation.
    Translation Translate(std::u16string_view text) override;
    bool WantsFullStop() const override { return true; }
    void SkipCacheOnce() override { SkipCache = true; }
    // The text without the full stop it was given for the engine.
    std::u16string Untranslated(std::u16string_view text) const override;
    std::chrono::milliseconds WaitLimit() const override { return CallLimit; }
    bool MayHang() const override { return true; }
    // The engine's answer as it comes: exactly its units, ending in "\r\n"
    // when not empty; empty while the text is held.
    std::u16string Answer(std::u16string_view text);
    void StopTransEngine();
    // Stops and terminates the engine. The library stays loaded until the
    // process ends: unloading the real engine at shutdown can crash.
    void TerminateTransEngine();

    void EngineTranslate(const std::string& shiftJis);
    // Translates the parts Shift-JIS can hold, one by one, and keeps the
    // characters it cannot hold (a heart, an emoji, Hangul) where they stand.
    std::u16string TranslateAroundUnencodable(const std::u16string& sentence);

    // State, named as in the engine's documentation of this adapter.
    LibraryHandle EngineModule = nullptr;
    J2K_TranslateMMNTFn TranslateEntry = nullptr;
    J2K_FreeMemFn FreeEntry = nullptr;
    bool EngineReady = false;
    HeldSentence Held;            // short pieces held for the next text
    std::string LastTranslation;  // code page 949
    bool TranslationAvailable = false;
    TranslationCache Answers;     // the engine's answers by their exact input, for the run
    bool SkipCache = false;       // the next call asks the engine past Answers
    std::chrono::milliseconds CallLimit = kEngineWaitLimit;  // longer: stopped answering

private:
    void ReportFailure(const char* message);
    template <typename Fn> Fn Entry(const char* name);

    EnginePorts ports_;
};

} // namespace kx
