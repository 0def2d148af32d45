#include "engine/TrashRecordMemo.h"

namespace dromel {

std::vector<std::optional<TrashRecordMemo::Record>> TrashRecordMemo::find(const std::string &folder,
                                                                          const std::vector<Query> &queries) {
    std::vector<std::optional<Record>> found(queries.size());
    const std::lock_guard lock(m_mutex);
    const auto records = m_folders.find(folder);
    if (records == m_folders.end())
        return found;
    std::string name;
    for (std::size_t i = 0; i < queries.size(); ++i) {
        name.assign(queries[i].name);
        const auto entry = records->second.records.find(name);
        if (entry == records->second.records.end() ||
            (queries[i].stamp && !(entry->second.stamp == *queries[i].stamp)))
            continue;
        entry->second.met = true;
        found[i] = entry->second.record;
    }
    return found;
}

void TrashRecordMemo::remember(const std::string &folder, std::vector<Lesson> &&lessons) {
    if (lessons.empty())
        return;
    const std::lock_guard lock(m_mutex);
    auto &records = m_folders[folder].records;
    for (Lesson &lesson : lessons)
        records.insert_or_assign(std::move(lesson.name), Entry{lesson.stamp, std::move(lesson.record), true});
}

TrashRecordMemo::Names TrashRecordMemo::unchanged(const std::string &folder, const Stamp &stamp) const {
    const std::lock_guard lock(m_mutex);
    const auto found = m_folders.find(folder);
    if (found == m_folders.end() || !found->second.listed || !(found->second.listed->stamp == stamp))
        return nullptr;
    return found->second.listed->names;
}

void TrashRecordMemo::sweep(const std::unordered_map<std::string, Listed> &folders) {
    const std::lock_guard lock(m_mutex);
    for (auto folder = m_folders.begin(); folder != m_folders.end();) {
        folder->second.listed.reset();
        auto &records = folder->second.records;
        for (auto entry = records.begin(); entry != records.end();) {
            if (entry->second.met) {
                entry->second.met = false;
                ++entry;
            } else {
                entry = records.erase(entry);
            }
        }
        if (records.empty())
            folder = m_folders.erase(folder);
        else
            ++folder;
    }
    for (const auto &[path, listed] : folders)
        m_folders[path].listed = listed;
}

} // namespace dromel
