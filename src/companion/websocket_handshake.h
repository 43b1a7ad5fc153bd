#pragma once
// What the WebSocket opening handshake needs: the server's
// Sec-WebSocket-Accept answer to the key a browser sends, and a check that
// the key is the base64 of 16 bytes. Small enough to keep here rather than
// bring in a crypto library for one digest.
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// The 20 raw bytes of the SHA-1 digest. Used only for the handshake, where
// it proves nothing about secrecy: it only shows the server read the key.
std::string Sha1(std::string_view bytes);

// Standard alphabet, with "=" padding.
std::string Base64(std::string_view bytes);

// nullopt unless `text` is base64 exactly as Base64 writes it: length a
// multiple of 4, the standard alphabet, "=" only as the final padding, and
// no bits set past the last byte. So one byte string has one accepted form.
std::optional<std::string> DecodeBase64(std::string_view text);

// base64(sha1(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11")), the key as
// the client sent it (not decoded).
std::string WebSocketAccept(std::string_view key);

} // namespace kx
