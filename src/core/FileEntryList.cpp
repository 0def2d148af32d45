#include "core/FileEntryList.h"

#include <algorithm>
#include <stdexcept>

namespace dromel {

FileEntryList::const_iterator &FileEntryList::const_iterator::operator++() {
    if (++m_offset == (*m_chunks)[m_chunk]->size()) {
        ++m_chunk;
        m_offset = 0;
    }
    return *this;
}

FileEntryList::FileEntryList(std::vector<FileEntry> entries) {
    *this = FileEntryList().appending(std::move(entries));
}

FileEntryList FileEntryList::appending(std::vector<FileEntry> chunk) const {
    return appending(std::make_shared<const std::vector<FileEntry>>(std::move(chunk)));
}

FileEntryList FileEntryList::appending(Chunk chunk) const {
    FileEntryList result = *this;
    if (chunk && !chunk->empty()) {
        result.m_starts.push_back(m_size);
        result.m_size += chunk->size();
        result.m_chunks.push_back(std::move(chunk));
    }
    return result;
}

const FileEntry &FileEntryList::operator[](std::size_t index) const {
    if (index >= m_size)
        throw std::out_of_range("FileEntryList index out of range");
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    const auto chunk = static_cast<std::size_t>(it - m_starts.begin()) - 1;
    return (*m_chunks[chunk])[index - m_starts[chunk]];
}

FileEntryList::const_iterator FileEntryList::begin() const {
    const_iterator it;
    it.m_chunks = &m_chunks;
    return it;
}

FileEntryList::const_iterator FileEntryList::end() const {
    const_iterator it;
    it.m_chunks = &m_chunks;
    it.m_chunk = m_chunks.size();
    return it;
}

std::vector<FileEntry> FileEntryList::toVector() const {
    std::vector<FileEntry> result;
    result.reserve(m_size);
    for (const Chunk &chunk : m_chunks)
        result.insert(result.end(), chunk->begin(), chunk->end());
    return result;
}

bool operator==(const FileEntryList &a, const FileEntryList &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

} // namespace dromel
