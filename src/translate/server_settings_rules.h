#pragma once
// What the "Translation server" dialog accepts from its boxes: the URL, the
// model, the time-out, the context lines and the max tokens as typed (UTF-16),
// checked and turned into the values the settings hold, or the one message
// that says what is wrong.
#include "settings/app_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kx {

inline constexpr const char* kServerUrlProblem =
    "The URL must begin with http:// or https:// and hold only ASCII characters.";
inline constexpr const char* kServerUrlUserInfoProblem =
    "The URL must not hold a user name or password before the host (user@host). Enter a key as the API key.";
inline constexpr const char* kServerTimeoutProblem = "The time-out must be a whole number of seconds from 1 to 600.";
inline constexpr const char* kServerModelProblem = "The model name must hold only ASCII characters.";
inline constexpr const char* kServerContextLinesProblem = "Context lines must be a whole number from 0 to 20.";
inline constexpr const char* kServerMaxTokensProblem = "Max tokens must be a whole number from 16 to 4096.";

// The text without the blanks at both ends (space, tab, line ends, no-break
// and ideographic spaces).
std::u16string_view TrimBlanks(std::u16string_view text);

// Trimmed; "http://" or "https://" (any case) and at least one more
// character, every one of them printable ASCII without the space (0x21-0x7E).
std::optional<std::string> CheckServerUrl(std::u16string_view text);

// Trimmed; ASCII digits only, low..high (leading zeros allowed, no sign).
std::optional<std::int32_t> CheckWholeNumber(std::u16string_view text, std::int32_t low, std::int32_t high);

// CheckWholeNumber within kMinServerTimeoutSeconds..kMaxServerTimeoutSeconds.
std::optional<std::int32_t> CheckServerTimeout(std::u16string_view text);

// Trimmed; printable ASCII (0x20-0x7E), so that a name may hold a space
// inside. Empty is accepted: no model is sent.
std::optional<std::string> CheckServerModel(std::u16string_view text);

// The texts of the dialog's boxes, as the controls hold them.
struct ServerFormTexts {
    std::u16string url;
    std::u16string model;
    std::u16string prompt;
    std::u16string apiKey;
    std::u16string timeout;
    std::u16string contextLines;
    bool contextTranslations = false;
    bool stream = false;
    std::u16string maxTokens;
};

enum class ServerFormField { Url, Model, Timeout, ContextLines, MaxTokens };

struct ServerFormProblem {
    ServerFormField field;
    const char* message;  // one of the kServer*Problem texts
};

struct ServerFormValues {
    ServerSettings server;
    std::string apiKey;  // UTF-8, trimmed of blanks; empty: no key
};

// Checks the boxes in the order the dialog shows them (URL, model, time-out,
// context lines, max tokens) and names the first one that is wrong. The
// prompt is taken as it is. A URL with user info is refused: the host it
// names may not be the one it seems. What the form does not show (the
// glossary) comes from `current` unchanged.
std::variant<ServerFormValues, ServerFormProblem> ReadServerForm(const ServerFormTexts& texts,
                                                                 const ServerSettings& current = {});

inline constexpr const char* kServiceKeyIdProblem = "The client ID must hold only ASCII characters.";

// The boxes of a cloud service's dialog (DeepL, Papago), as the controls hold
// them; a service without a client ID or honorific leaves them as they are.
struct ServiceFormTexts {
    std::u16string url;
    std::u16string keyId;
    std::u16string apiKey;
};
enum class ServiceFormField { Url, KeyId };
struct ServiceFormProblem {
    ServiceFormField field;
    const char* message;
};
struct ServiceFormValues {
    std::string url;
    std::string keyId;   // trimmed printable ASCII; empty: none
    std::string apiKey;  // UTF-8, trimmed of blanks; empty: no key
};
// The URL as the server's dialog takes it (no user info), then the client ID.
std::variant<ServiceFormValues, ServiceFormProblem> ReadServiceForm(const ServiceFormTexts& texts);

// A text as a multi-line edit box shows it: every line feed that has no
// carriage return before it gets one.
std::u16string WithCrLf(std::u16string_view text);

// The prompt the dialog hands back: the stored one when the box still holds
// exactly what it was given (WithCrLf(stored)), otherwise the box's text.
std::u16string PromptFromBox(std::u16string_view boxText, std::u16string_view stored);

} // namespace kx
