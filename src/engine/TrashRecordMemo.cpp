#include "engine/TrashRecordMemo.h"

#include <iterator>

namespace dromel {

std::optional<TrashRecordMemo::Record> TrashRecordMemo::find(const std::string &path,
                                                             const std::optional<Stamp> &stamp) {
    const std::lock_guard lock(m_mutex);
    const auto found = m_records.find(path);
    if (found == m_records.end() || (stamp && !(found->second.stamp == *stamp)))
        return std::nullopt;
    found->second.met = true;
    return found->second.record;
}

void TrashRecordMemo::remember(const std::string &path, const Stamp &stamp, Record record) {
    const std::lock_guard lock(m_mutex);
    m_records.insert_or_assign(path, Entry{stamp, std::move(record), true});
}

bool TrashRecordMemo::unchanged(const std::string &folder, const Stamp &stamp) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_folders.find(folder);
    return found != m_folders.end() && found->second == stamp;
}

void TrashRecordMemo::sweep(const std::unordered_map<std::string, Stamp> &folders) {
    const std::lock_guard lock(m_mutex);
    m_folders = folders;
    for (auto entry = m_records.begin(); entry != m_records.end();) {
        if (entry->second.met) {
            entry->second.met = false;
            ++entry;
        } else {
            entry = m_records.erase(entry);
        }
    }
}

} // namespace dromel
