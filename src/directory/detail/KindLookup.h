#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace dromel::detail {

// The kind text of an item by its name alone: the shared-mime-info comment,
// "File" where there is none. A large folder asks the MIME database once per
// name suffix: the result is cached under the suffix only for names that no
// whole-name pattern (CMakeLists.txt, makefile.*, README*) can match; such
// names are looked up one by one. One per read; not thread-safe.
class KindLookup {
public:
    std::shared_ptr<const std::string> folderKind();
    std::shared_ptr<const std::string> fileKind(std::string_view name);

private:
    std::shared_ptr<const std::string> lookUp(std::string_view name) const;

    std::unordered_map<std::string, std::shared_ptr<const std::string>> m_cache;
    std::shared_ptr<const std::string> m_folder;
    std::shared_ptr<const std::string> m_plain; // "File"
};

} // namespace dromel::detail
