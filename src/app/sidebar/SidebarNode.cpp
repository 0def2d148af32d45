#include "sidebar/SidebarNode.h"

#include "directory/DirectoryReading.h"
#include "directory/ListingOrdering.h"
#include "presentation/Localization.h"

namespace dromel {

SidebarNode::SidebarNode(Kind kind_, QString title_, std::optional<std::string> url_, std::string symbol_)
    : kind(kind_), title(std::move(title_)), url(std::move(url_)), symbol(std::move(symbol_)),
      group(kind_ == Kind::section),
      showsPlaceholder(url.has_value() && (kind_ == Kind::folder || kind_ == Kind::volume)) {
    if (kind == Kind::favourite)
        children.emplace(); // never expandable
}

SidebarNode::~SidebarNode() = default;

int SidebarNode::childRowCount() const {
    return (showsPlaceholder ? 1 : 0) + (children ? static_cast<int>(children->size()) : 0);
}

SidebarNode *SidebarNode::childAt(int index) const {
    if (showsPlaceholder && index == 0) {
        if (!m_placeholder) {
            m_placeholder = std::make_unique<SidebarNode>(Kind::placeholder,
                                                          Localization::current().text(TextKey::loading),
                                                          std::nullopt, std::string());
            m_placeholder->parent = const_cast<SidebarNode *>(this);
        }
        return m_placeholder.get();
    }
    const int position = index - (showsPlaceholder ? 1 : 0);
    if (!children || position < 0 || position >= static_cast<int>(children->size()))
        return nullptr;
    return (*children)[static_cast<std::size_t>(position)].get();
}

bool SidebarNode::expandable() const {
    if (kind == Kind::favourite)
        return false;
    if (!children)
        return url.has_value();
    return !children->empty();
}

} // namespace dromel
