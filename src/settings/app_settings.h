#pragma once
// The one settings record shared by every subsystem; each field is named after
// its key in KestruneEX.ini and starts with that key's default.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx {

// One find-and-replace pair of the text filters; `find` is never empty.
struct Substitution {
    std::u16string find;
    std::u16string replace;

    bool operator==(const Substitution&) const = default;
};

// What is cleaned from a captured text before the sink ("Filters" and
// "Substitutions" in KestruneEX.ini). Each filter is on when exactly 1.
struct TextFilterSettings {
    int32_t RepeatChars = 0;   // «ああいいうう» becomes «あいう»
    int32_t RepeatPhrase = 0;  // «こんにちはこんにちは» becomes «こんにちは»
    int32_t SkipRepeat = 0;    // a text equal to the one shown before it is not shown
    std::vector<Substitution> before;  // applied in order to every captured text after the filters
    std::vector<Substitution> after;   // applied in order to each translation

    bool RepeatCharsOn() const { return RepeatChars == 1; }
    bool RepeatPhraseOn() const { return RepeatPhrase == 1; }
    bool SkipRepeatOn() const { return SkipRepeat == 1; }

    bool operator==(const TextFilterSettings&) const = default;
};

// One game shortcut in stored form: GName, APath, AOption and Notes are hex
// text, TDelay and GTMethod plain decimal text.
struct ShortcutEntry {
    std::string GName;
    std::string APath;
    std::string AOption;
    std::string TDelay;
    std::string Notes;
    std::string GTMethod;

    bool operator==(const ShortcutEntry&) const = default;
};

inline constexpr int kShortcutRows = 100;

// The global hotkeys ("Hotkeys" in KestruneEX.ini) as the user wrote them,
// e.g. «Ctrl+Alt+T»; an empty text is no hotkey. A text that is not a hotkey
// is kept as written, so that the user can mend it.
struct HotkeySettings {
    std::string Monitoring = "Ctrl+Alt+M";    // clipboard monitoring on or off
    std::string Translation = "Ctrl+Alt+T";   // translation on or off
    std::string Subtitle = "Ctrl+Alt+S";      // into or out of subtitle mode
    std::string ClickThrough = "Ctrl+Alt+C";  // the subtitle strip lets clicks through or not
    std::string ShowHide = "Ctrl+Alt+H";      // the main window hidden or shown
    std::string Retranslate = "Ctrl+Alt+R";   // the newest line translated again
    std::string HideUntilNext = "Ctrl+Alt+X"; // the window hidden until the next captured line

    bool operator==(const HotkeySettings&) const = default;
};

// The translation engines ("Engine"/"Kind" in KestruneEX.ini names the one
// that translates), in the order of the menu.
enum class EngineKind { EzTrans, Server, DeepL, Papago };
inline constexpr std::size_t kEngineKindCount = 4;
inline constexpr const char* kEngineKindEzTrans = "ezTrans";
inline constexpr const char* kEngineKindServer = "Server";
inline constexpr const char* kEngineKindDeepL = "DeepL";
inline constexpr const char* kEngineKindPapago = "Papago";
// "Engine"/"Draft" and "Engine"/"Fallback": no engine in that role.
inline constexpr const char* kNoEngine = "None";

// Where captured texts come from ("Capture"/"Source" in KestruneEX.ini): the
// clipboard, the text messages of hookers' or OCR tools' WebSocket servers,
// both at once, or neither.
enum class TextSource { Clipboard, WebSocket, Both, None };
inline constexpr const char* kTextSourceClipboard = "Clipboard";
inline constexpr const char* kTextSourceWebSocket = "WebSocket";
inline constexpr const char* kTextSourceBoth = "Both";
inline constexpr const char* kTextSourceNone = "None";
inline constexpr const char* kDefaultWebSocketUrl = "ws://127.0.0.1:6677";
inline constexpr std::size_t kMaxWebSocketSources = 4;  // WebSocketUrl, WebSocketUrl2 ... WebSocketUrl4
inline bool ReadsClipboard(TextSource source) { return source == TextSource::Clipboard || source == TextSource::Both; }
inline bool ReadsWebSockets(TextSource source) { return source == TextSource::WebSocket || source == TextSource::Both; }
inline TextSource SourceOf(bool clipboard, bool webSockets)
{
    if (clipboard)
        return webSockets ? TextSource::Both : TextSource::Clipboard;
    return webSockets ? TextSource::WebSocket : TextSource::None;
}

// The reading companion ("Companion" in KestruneEX.ini): lines served to
// browser pages and other devices.
inline constexpr std::int32_t kDefaultCompanionPort = 6678;
struct CompanionSettings {
    std::int32_t Enabled = 0;  // serving when exactly 1
    std::int32_t Port = kDefaultCompanionPort;
    std::int32_t Lan = 0;      // on every address when exactly 1, else on 127.0.0.1 only

    bool EnabledOn() const { return Enabled == 1; }
    bool LanOn() const { return Lan == 1; }
    bool operator==(const CompanionSettings&) const = default;
};

inline constexpr std::int32_t kMinServerTimeoutSeconds = 1;
inline constexpr std::int32_t kMaxServerTimeoutSeconds = 600;
inline constexpr std::int32_t kMaxContextLines = 20;
inline constexpr std::int32_t kMinMaxTokens = 16;
inline constexpr std::int32_t kMaxMaxTokens = 4096;

// A fixed translation of a term ("Glossary" in KestruneEX.ini), given to the
// server with the lines that hold the term.
struct GlossaryEntry {
    std::u16string term;         // never empty
    std::u16string translation;

    bool operator==(const GlossaryEntry&) const = default;
};

// A translation server that speaks the chat-completions API ("Engine" in
// KestruneEX.ini). The API key is not here: the file holds it only protected.
struct ServerSettings {
    std::string url = "http://127.0.0.1:8080/v1/chat/completions";
    std::string model;  // empty: not sent, the server's own choice
    std::u16string prompt = u"Translate the user's Japanese game text into natural Korean. "
                            u"Reply with the translation only.";
    std::int32_t timeoutSeconds = 30;
    std::int32_t contextLines = 3;         // earlier lines sent along, 0 to kMaxContextLines
    std::int32_t contextTranslations = 0;  // their translations too when exactly 1
    std::int32_t stream = 1;               // the answer read as it is written when exactly 1
    std::int32_t maxTokens = 512;          // the answer's bound, kMinMaxTokens to kMaxMaxTokens
    std::vector<GlossaryEntry> glossary;   // in list order

    bool ContextTranslationsOn() const { return contextTranslations == 1; }
    bool StreamOn() const { return stream == 1; }
    bool operator==(const ServerSettings&) const = default;
};

// The DeepL API ("DeepL" in KestruneEX.ini). The API key is not here: the
// file holds it only protected.
inline constexpr const char* kDefaultDeepLUrl = "https://api-free.deepl.com/v2/translate";
struct DeepLSettings {
    std::string url = kDefaultDeepLUrl;  // the Free API's; a Pro key needs https://api.deepl.com/v2/translate
    std::int32_t timeoutSeconds = 30;
    std::int32_t contextLines = 3;  // earlier source lines sent along as context, 0 to kMaxContextLines

    bool operator==(const DeepLSettings&) const = default;
};

// Papago Translation of NAVER Cloud Platform ("Papago" in KestruneEX.ini):
// the application's client ID in plain, its client secret (the API key)
// only protected, as for the other services.
inline constexpr const char* kDefaultPapagoUrl = "https://papago.apigw.ntruss.com/nmt/v1/translation";
struct PapagoSettings {
    std::string url = kDefaultPapagoUrl;
    std::string keyId;                // the client ID; empty: not sent
    std::int32_t honorific = 0;       // the answer in polite Korean when exactly 1
    std::int32_t timeoutSeconds = 30;

    bool HonorificOn() const { return honorific == 1; }
    bool operator==(const PapagoSettings&) const = default;
};

// The settings that decide what the text sink and AppendLog make of a text.
// A captured text keeps the ones in force when it was read.
struct SinkOptions {
    int32_t Codepage = 932;
    int32_t Flood = 150;
    int32_t FloodChk = 1;
    int32_t Ancete = 0;
    int32_t uot = 0;

    bool FloodTrimmingOn() const { return FloodChk == 1; }
    bool EmptyLineBetweenTexts() const { return Ancete == 1; }
    bool ReplaceMode() const { return uot != 0; }
};

// The subtitle strip's letters: "Subtitle" section.
enum class StripAlign { Bottom, Top };  // where the newest text sits when it does not fill the strip
struct SubtitleLook {
    std::uint32_t OutlineColor = 0x000000;  // a Color of the settings file (clBlack)
    int32_t OutlineWidth = 2;               // pixels at 96 dpi, 0 (none) to 8
    int32_t Shadow = 1;                     // a soft shadow when exactly 1
    StripAlign Align = StripAlign::Bottom;

    bool ShadowOn() const { return Shadow == 1; }
    bool operator==(const SubtitleLook&) const = default;
};

struct AppSettings {
    int32_t Codepage = 932;      // 0 = the system's ANSI code page
    int32_t Flood = 150;         // letter limit of flood trimming
    int32_t FloodChk = 1;        // trimming on when exactly 1
    int32_t Ancete = 0;          // empty line between appended texts when exactly 1
    int32_t uot = 0;             // replace mode when not 0
    std::u16string Agthpath;     // full path of agth.exe / agth64.exe
    std::string AgthAToption;    // attach-option history, entries joined by ","
    int32_t AgthATrun = 1;       // open the AGTH helper at start-up when exactly 1
    std::array<ShortcutEntry, kShortcutRows> ShortcutTable{};
    TextFilterSettings Filters;
    HotkeySettings Hotkeys;
    int32_t ClickThrough = 0;    // the subtitle strip starts click-through when exactly 1
    EngineKind Engine = EngineKind::EzTrans;
    std::optional<EngineKind> DraftEngine;     // shown at once, then replaced by the main engine's answer
    std::optional<EngineKind> FallbackEngine;  // answers when the main engine fails
    int32_t KeepDraft = 0;       // the draft's line stays, the main answer below it, when exactly 1
    ServerSettings Server;
    DeepLSettings DeepL;         // its time-out and context lines are the server's
    PapagoSettings Papago;       // its time-out is the server's
    std::string ServerApiKey;    // hex of the key's protected bytes, as stored; empty: no key
    std::string DeepLApiKey;     // the same for DeepL's key
    std::string PapagoApiKey;    // the same for Papago's client secret
    SubtitleLook Subtitle;
    TextSource Source = TextSource::Clipboard;
    std::string WebSocketUrl = kDefaultWebSocketUrl;  // ws:// or wss://, as the user wrote it
    std::array<std::string, kMaxWebSocketSources - 1> MoreWebSocketUrls{};  // the 2nd to 4th; empty: none
    CompanionSettings Companion;
    int32_t GetTextMethod = 1;   // as a shortcut stores it: 1 Ascii, 2 and 3 hex, 4 Unicode text
    int32_t History = 1;         // each game's history.txt written when exactly 1
    std::u16string ActiveProfile;  // the game profile in force; empty: none

    bool ClickThroughOn() const { return ClickThrough == 1; }
    // The WebSocket sources' URLs in order, without the empty ones.
    std::vector<std::string> WebSocketUrls() const
    {
        std::vector<std::string> urls;
        if (!WebSocketUrl.empty())
            urls.push_back(WebSocketUrl);
        for (const std::string& url : MoreWebSocketUrls)
            if (!url.empty())
                urls.push_back(url);
        return urls;
    }
    bool KeepDraftOn() const { return KeepDraft == 1; }
    bool HistoryOn() const { return History == 1; }
    bool FloodTrimmingOn() const { return FloodChk == 1; }
    bool EmptyLineBetweenTexts() const { return Ancete == 1; }
    bool ReplaceMode() const { return uot != 0; }
    SinkOptions Sink() const { return {Codepage, Flood, FloodChk, Ancete, uot}; }

    bool operator==(const AppSettings&) const = default;
};

} // namespace kx
