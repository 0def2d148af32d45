#pragma once

#include "core/Uuid.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dromel {

class DirectoryRead;
class OrderingTicket;

// One row of the directory sidebar. Nodes are owned by their parent's
// `children` (shared so that jobs in flight can hold them weakly); every field
// is touched on the main thread only.
struct SidebarNode : std::enable_shared_from_this<SidebarNode> {
    enum class Kind { section, favourite, folder, volume, placeholder, error };

    SidebarNode(Kind kind, QString title, std::optional<std::string> url, std::string symbol);
    ~SidebarNode();

    Kind kind;
    QString title;
    std::optional<std::string> url; // standardized path; absent for headers, placeholder and error rows
    std::string symbol;             // theme icon name
    bool group = false;
    // Absent: not loaded yet. Present: the loaded subfolders (possibly empty).
    std::optional<std::vector<std::shared_ptr<SidebarNode>>> children;
    bool loading = false;
    Uuid readGeneration; // token of the latest load; older results are dropped
    std::unique_ptr<DirectoryRead> read;
    std::shared_ptr<OrderingTicket> sort;
    bool dirty = false;        // a change was reported while loading: load again when it ends
    bool listedHidden = false; // the hidden-items setting of the latest load

    // The row's place in the outline.
    SidebarNode *parent = nullptr;
    int row = 0;
    bool expanded = false;
    // Row 0 stands for the children until they are loaded.
    bool showsPlaceholder = false;
    // Expanded before its folder was watched: the read waits for the watch, so
    // that nothing changing in between goes unseen.
    bool waitingForWatch = false;

    bool isLoaded() const { return children.has_value(); }
    int childRowCount() const;
    SidebarNode *childAt(int row) const;
    // Expandable rows show the branch arrow.
    bool expandable() const;

private:
    mutable std::unique_ptr<SidebarNode> m_placeholder;
};

} // namespace dromel
