#include "translate/translation_engine.h"
#include "capture/append_log.h"
#include "fake_log_view.h"
#include "platform/posix/iconv_code_pages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

using namespace kx;
using kx::testing::FakeLogView;

namespace {

// A scripted engine: plain functions standing in for the library's exports.
struct ScriptedEngine {
    int initializeResult = 1;
    std::string key, dataFolder;
    std::vector<std::string> sent;
    std::string answer = "\xB0\xA1\xB0\xA2\xB0\xA3";  // 가각간 in code page 949
    bool answerNull = false;
    bool echo = false;  // answer "<input>"
    int liveBuffers = 0;
    int stops = 0, terminates = 0;
};
ScriptedEngine engine;

int KX_STDCALL FakeInitializeEx(const char* key, const char* folder)
{
    engine.key = key;
    engine.dataFolder = folder;
    return engine.initializeResult;
}
char* KX_STDCALL FakeTranslate(int, const char* text)
{
    engine.sent.emplace_back(text);
    if (engine.answerNull)
        return nullptr;
    if (engine.echo)
        engine.answer = "<" + std::string(text) + ">";
    ++engine.liveBuffers;
    char* buffer = new char[engine.answer.size() + 1];
    std::memcpy(buffer, engine.answer.c_str(), engine.answer.size() + 1);
    return buffer;
}
void KX_STDCALL FakeFreeMem(char* p)
{
    --engine.liveBuffers;
    delete[] p;
}
void KX_STDCALL FakeStop(int) { ++engine.stops; }
void KX_STDCALL FakeTerminate() { ++engine.terminates; }

struct FakeRegistry : RegistryPort {
    RegistryString answer{true, std::string("C:\\ezTrans")};
    std::string askedKey, askedValue;
    std::size_t askedBytes = 0;
    RegistryString ReadCurrentUserString(const std::string& key, const std::string& value, std::size_t bytes) override
    {
        askedKey = key;
        askedValue = value;
        askedBytes = bytes;
        return answer;
    }
};

struct FakeFiles : FileSystemPort {
    bool exists = true;
    bool IsExistingFolder(const std::string&) override { return exists; }
};

struct FakeLibraries : LibraryPort {
    std::map<std::string, EntryAddress> exports{
        {"J2K_InitializeEx", reinterpret_cast<EntryAddress>(&FakeInitializeEx)},
        {"J2K_TranslateMMNT", reinterpret_cast<EntryAddress>(&FakeTranslate)},
        {"J2K_FreeMem", reinterpret_cast<EntryAddress>(&FakeFreeMem)},
        {"J2K_StopTranslation", reinterpret_cast<EntryAddress>(&FakeStop)},
        {"J2K_Terminate", reinterpret_cast<EntryAddress>(&FakeTerminate)},
    };
    bool loadFails = false;
    std::string loadedPath;
    int loaded = 0;
    int handle = 0;
    LibraryHandle Load(const std::string& path) override
    {
        loadedPath = path;
        if (loadFails)
            return nullptr;
        ++loaded;
        return &handle;
    }
    EntryAddress Find(LibraryHandle library, const char* name) override
    {
        EXPECT_EQ(library, &handle);
        auto it = exports.find(name);
        return it == exports.end() ? nullptr : it->second;
    }
    void Unload(LibraryHandle library) override
    {
        EXPECT_EQ(library, &handle);
        --loaded;
    }
};

struct FakePrompts : PromptsPort {
    std::vector<std::u16string> errors;
    void ShowError(const std::u16string& text) override { errors.push_back(text); }
    void ShowAppError(const std::u16string& text) override { errors.push_back(u"app: " + text); }
};

struct EngineFixture : ::testing::Test {
    EngineFixture() { engine = ScriptedEngine{}; }
    FakeRegistry registry;
    FakeFiles files;
    FakeLibraries libraries;
    IconvCodePages codePages;
    FakePrompts prompts;
    FakeLogView log;
    TranslationEngine adapter{EnginePorts{registry, files, libraries, codePages, prompts,
                                          [this](const std::u16string& line) { AppendLineToView(log, line); }}};

    // The engine's answer as it comes, before the shown part is cut from it.
    std::u16string Translate(const std::u16string& text) { return adapter.Answer(text); }
    void ExpectFailure(const char16_t* message)
    {
        EXPECT_FALSE(adapter.EngineReady);
        EXPECT_EQ(adapter.EngineModule, nullptr);
        EXPECT_EQ(libraries.loaded, 0) << "library left loaded";
        EXPECT_EQ(prompts.errors, std::vector<std::u16string>{message});
        EXPECT_EQ(log.text, std::u16string(u"start\r\n") + message);
    }
};

TEST_F(EngineFixture, InitialisesThroughRegistryFolder)
{
    registry.answer.value = "D:\\Tools\\ezTrans";
    adapter.InitTransEngine();
    EXPECT_TRUE(adapter.EngineReady);
    EXPECT_EQ(registry.askedKey, "Software\\ChangShin\\ezTrans");
    EXPECT_EQ(registry.askedValue, "FilePath");
    EXPECT_EQ(registry.askedBytes, 250u);
    EXPECT_EQ(libraries.loadedPath, "D:\\Tools\\ezTrans\\J2KEngine.dll");
    EXPECT_EQ(engine.dataFolder, "D:\\\\Tools\\\\ezTrans\\\\Dat");
    EXPECT_THAT(engine.key, ::testing::MatchesRegex("[A-Z]{6}[0-9]{6}"));
    EXPECT_TRUE(prompts.errors.empty());
}

TEST(EngineDataFolderPath, DoublesEveryBackslashByte)
{
    // 0x5C as the trail byte of a double-byte character is doubled too.
    EXPECT_EQ(EngineDataFolder("C:\\\x95\\"), "C:\\\\\x95\\\\\\\\Dat");
}

TEST_F(EngineFixture, EachFailureIsReportedOnceInLogAndBox)
{
    log.text = u"start";
    registry.answer.keyOpened = false;
    adapter.InitTransEngine();
    ExpectFailure(u"Translation Engine failed to initialize : Registry Error");
}

TEST_F(EngineFixture, MissingOrBadFolderIsFilePathNotFound)
{
    for (int variant = 0; variant < 2; ++variant) {
        log.text = u"start";
        prompts.errors.clear();
        registry.answer.value = variant == 0 ? std::nullopt : std::optional<std::string>("C:\\nowhere");
        files.exists = variant == 0;
        adapter.InitTransEngine();
        ExpectFailure(u"Translation Engine failed to initialize : FilePath not found");
        EXPECT_TRUE(libraries.loadedPath.empty()) << "library must not be loaded";
    }
}

TEST_F(EngineFixture, LibraryProblemsAreDllErrorsAndUnload)
{
    const char16_t* dllError = u"Translation Engine failed to initialize : DLL Error";
    struct Variant {
        const char* name;
        std::function<void(FakeLibraries&)> setup;
    };
    const Variant variants[] = {
        {"load fails", [](FakeLibraries& l) { l.loadFails = true; }},
        {"no initialise", [](FakeLibraries& l) { l.exports.erase("J2K_InitializeEx"); }},
        {"initialise answers 0", [](FakeLibraries&) { engine.initializeResult = 0; }},
        {"initialise answers 2", [](FakeLibraries&) { engine.initializeResult = 2; }},
        {"no translate", [](FakeLibraries& l) { l.exports.erase("J2K_TranslateMMNT"); }},
        {"no free", [](FakeLibraries& l) { l.exports.erase("J2K_FreeMem"); }},
    };
    for (const auto& v : variants) {
        SCOPED_TRACE(v.name);
        engine = ScriptedEngine{};
        FakeLibraries fresh;
        libraries.exports = fresh.exports;
        libraries.loadFails = false;
        v.setup(libraries);
        log.text = u"start";
        prompts.errors.clear();
        adapter.InitTransEngine();
        ExpectFailure(dllError);
        EXPECT_EQ(adapter.TranslateEntry, nullptr);
    }
}

TEST_F(EngineFixture, AnswerComesBackWithLineBreakAndBufferIsFreed)
{
    adapter.InitTransEngine();
    EXPECT_EQ(Translate(u"あいう"), u"가각간\r\n");
    EXPECT_EQ(engine.sent, std::vector<std::string>{"\x82\xA0\x82\xA2\x82\xA4"});
    EXPECT_EQ(engine.liveBuffers, 0);
    EXPECT_FALSE(adapter.TranslationAvailable);
    EXPECT_TRUE(adapter.LastTranslation.empty());
}

TEST_F(EngineFixture, ShortPiecesAreHeldAndJoinedToTheNextText)
{
    adapter.InitTransEngine();
    EXPECT_EQ(Translate(u"a"), u"");
    EXPECT_EQ(Translate(u"あ"), u"");  // two bytes in Shift-JIS: still held
    EXPECT_TRUE(engine.sent.empty());
    EXPECT_EQ(adapter.Held.Pending(), u"aあ");
    EXPECT_EQ(Translate(u"abc"), u"가각간\r\n");
    EXPECT_EQ(engine.sent, std::vector<std::string>{"a\x82\xA0\r\nabc"});
    EXPECT_TRUE(adapter.Held.Pending().empty());
}

TEST_F(EngineFixture, TheShownAnswerLeavesOutTheTranslatedFullStopAndEveryCallEndsWithAStop)
{
    adapter.InitTransEngine();
    EXPECT_EQ(adapter.Translate(u"あいう."), (Translation{u"가각", u""}));  // "가각간\r\n" less three units
    EXPECT_EQ(adapter.Translate(u"a"), Translation{});                      // held: no engine call, a stop all the same
    EXPECT_EQ(engine.sent.size(), 1u);
    EXPECT_EQ(engine.stops, 2);
}

TEST_F(EngineFixture, CharactersShiftJisCannotHoldStandInTheirPlacesAroundTranslatedPieces)
{
    adapter.InitTransEngine();
    engine.echo = true;
    // A heart and an emoji between Japanese pieces; each piece is asked alone.
    EXPECT_EQ(Translate(u"ab\u2665cd\U0001F600ef."), u"<ab>\u2665<cd>\U0001F600<ef.>\r\n");
    EXPECT_EQ(engine.sent, (std::vector<std::string>{"ab", "cd", "ef."}));
    // Only such characters and the full stop: shown as they are, no engine call.
    engine.sent.clear();
    EXPECT_EQ(Translate(u"\uD55C\uAE00\u2665."), u"\uD55C\uAE00\u2665.\r\n");
    EXPECT_TRUE(engine.sent.empty());
    // A held short piece goes in front of such a text too, with its line break.
    EXPECT_EQ(Translate(u"x"), u"");
    EXPECT_EQ(Translate(u"\u2665yz."), u"<x\r\n>\u2665<yz.>\r\n");
    // Text Shift-JIS holds whole is one engine call, as always.
    engine.sent.clear();
    Translate(u"あい♪.");
    EXPECT_EQ(engine.sent, std::vector<std::string>{"\x82\xA0\x82\xA2\x81\xF4."});
}

TEST_F(EngineFixture, EmptyTextAndNullAnswerGiveEmptyResult)
{
    adapter.InitTransEngine();
    EXPECT_EQ(Translate(u""), u"");
    EXPECT_TRUE(engine.sent.empty());
    engine.answerNull = true;
    EXPECT_EQ(Translate(u"long enough"), u"");
    EXPECT_EQ(engine.sent.size(), 1u);
    // The next answer is not mixed up with the empty one.
    engine.answerNull = false;
    EXPECT_EQ(Translate(u"again text"), u"가각간\r\n");
}

TEST_F(EngineFixture, RepeatedInputIsAnsweredFromTheCache)
{
    adapter.InitTransEngine();
    EXPECT_EQ(Translate(u"again text"), u"가각간\r\n");
    engine.answer = "\xB0\xA1";  // an engine asked again would now say 가
    EXPECT_EQ(Translate(u"again text"), u"가각간\r\n");
    EXPECT_EQ(engine.sent.size(), 1u);
    // The key is the joined input: a held piece in front makes it new.
    Translate(u"a");
    EXPECT_EQ(Translate(u"again text"), u"가\r\n");
    EXPECT_EQ(engine.sent, (std::vector<std::string>{"again text", "a\r\nagain text"}));
    // No answer is not kept: the next time the engine is asked again.
    engine.answerNull = true;
    Translate(u"no answer yet");
    engine.answerNull = false;
    EXPECT_EQ(Translate(u"no answer yet"), u"가\r\n");
    EXPECT_EQ(engine.sent.size(), 4u);
}

TEST(TranslationCacheBounds, LeastRecentlyUsedGoesFirstByCountAndBytes)
{
    TranslationCache byCount(2, 1000);
    byCount.Put("a", "1");
    byCount.Put("b", "2");
    EXPECT_EQ(byCount.Find("a"), "1");  // "b" is now the oldest use
    byCount.Put("c", "3");
    EXPECT_EQ(byCount.Find("b"), std::nullopt);
    EXPECT_EQ(byCount.Find("a"), "1");
    EXPECT_EQ(byCount.Find("c"), "3");

    TranslationCache byBytes(100, 10);
    byBytes.Put("aa", "11");
    byBytes.Put("bb", "22");
    byBytes.Put("aa", "111");  // replaced, not counted twice
    EXPECT_EQ(byBytes.Bytes(), 9u);
    byBytes.Put("cc", "3");  // 12 bytes: the oldest use ("bb") goes
    EXPECT_EQ(byBytes.Find("bb"), std::nullopt);
    EXPECT_EQ(byBytes.Find("aa"), "111");
    EXPECT_EQ(byBytes.Bytes(), 8u);
    byBytes.Put("huge", std::string(20, 'x'));  // larger than the whole cache: not kept
    EXPECT_EQ(byBytes.Find("huge"), std::nullopt);
    EXPECT_EQ(byBytes.Size(), 2u);
}

TEST_F(EngineFixture, StopAndTerminateCallTheEngineButKeepItLoaded)
{
    adapter.InitTransEngine();
    adapter.StopTransEngine();
    EXPECT_EQ(engine.stops, 1);
    adapter.TerminateTransEngine();
    EXPECT_EQ(engine.stops, 2);
    EXPECT_EQ(engine.terminates, 1);
    EXPECT_EQ(adapter.EngineModule, nullptr);
    EXPECT_EQ(libraries.loaded, 1) << "the engine library stays loaded until the process ends";
    // Nothing is called once terminated.
    adapter.StopTransEngine();
    adapter.TerminateTransEngine();
    EXPECT_EQ(engine.stops, 2);
    EXPECT_EQ(engine.terminates, 1);
}

TEST_F(EngineFixture, MissingStopAndTerminateAreSkipped)
{
    libraries.exports.erase("J2K_StopTranslation");
    libraries.exports.erase("J2K_Terminate");
    adapter.InitTransEngine();
    ASSERT_TRUE(adapter.EngineReady);
    EXPECT_NO_THROW(adapter.StopTransEngine());
    EXPECT_NO_THROW(adapter.TerminateTransEngine());
}

TEST_F(EngineFixture, FailedEngineNeverCallsOutWhenAskedToTranslate)
{
    registry.answer.keyOpened = false;
    adapter.InitTransEngine();
    EXPECT_EQ(Translate(u"some text"), u"");
    EXPECT_TRUE(engine.sent.empty());
}

} // namespace
