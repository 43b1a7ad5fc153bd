#pragma once
// The engine's answers kept for the run, by their exact input: a line the
// game shows again is answered without calling the engine. Bounded in
// entries and bytes; the least recently used answer goes first.
#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>

namespace kx {

class TranslationCache {
public:
    static constexpr std::size_t kDefaultEntries = 10000;
    static constexpr std::size_t kDefaultBytes = 8u << 20;

    explicit TranslationCache(std::size_t maxEntries = kDefaultEntries, std::size_t maxBytes = kDefaultBytes)
        : maxEntries_(maxEntries), maxBytes_(maxBytes)
    {
    }

    std::optional<std::string> Find(const std::string& input);
    void Put(const std::string& input, std::string answer);
    std::size_t Size() const { return entries_.size(); }
    std::size_t Bytes() const { return bytes_; }

private:
    struct Entry {
        std::string input;
        std::string answer;
    };
    static std::size_t Cost(const Entry& e) { return e.input.size() + e.answer.size(); }
    void Evict();

    std::size_t maxEntries_;
    std::size_t maxBytes_;
    std::size_t bytes_ = 0;
    std::list<Entry> entries_;  // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

} // namespace kx
