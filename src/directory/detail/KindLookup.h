#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace dromel::detail {

// The kind text of an item by its name alone: the shared-mime-info comment,
// "File" where there is none. Cached by name suffix, so a large folder asks
// the MIME database once per extension. One per read; not thread-safe.
class KindLookup {
public:
    std::shared_ptr<const std::string> folderKind();
    std::shared_ptr<const std::string> fileKind(std::string_view name);

private:
    std::unordered_map<std::string, std::shared_ptr<const std::string>> m_cache;
    std::shared_ptr<const std::string> m_folder;
    std::shared_ptr<const std::string> m_plain; // "File"
};

} // namespace dromel::detail
