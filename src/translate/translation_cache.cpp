#include "translate/translation_cache.h"

#include <utility>

namespace kx {

std::optional<std::string> TranslationCache::Find(const std::string& input)
{
    const auto found = index_.find(input);
    if (found == index_.end())
        return std::nullopt;
    entries_.splice(entries_.begin(), entries_, found->second);
    return found->second->answer;
}

void TranslationCache::Put(const std::string& input, std::string answer)
{
    if (const auto found = index_.find(input); found != index_.end()) {
        bytes_ -= Cost(*found->second);
        entries_.erase(found->second);
        index_.erase(found);
    }
    Entry entry{input, std::move(answer)};
    // One answer larger than the whole cache is not kept at all.
    if (Cost(entry) > maxBytes_ || maxEntries_ == 0)
        return;
    bytes_ += Cost(entry);
    entries_.push_front(std::move(entry));
    index_.emplace(entries_.front().input, entries_.begin());
    Evict();
}

void TranslationCache::Evict()
{
    while (entries_.size() > maxEntries_ || bytes_ > maxBytes_) {
        bytes_ -= Cost(entries_.back());
        index_.erase(entries_.back().input);
        entries_.pop_back();
    }
}

} // namespace kx
