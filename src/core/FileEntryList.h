#pragma once

#include "core/FileEntry.h"

#include <cstddef>
#include <iterator>
#include <memory>
#include <vector>

namespace dromel {

// An immutable sequence of entries made of shared immutable chunks. Copying a
// list copies chunk pointers only, and appending() shares every earlier chunk,
// so cumulative snapshots of a growing listing never copy what came before.
class FileEntryList {
public:
    using Chunk = std::shared_ptr<const std::vector<FileEntry>>;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = FileEntry;
        using difference_type = std::ptrdiff_t;
        using pointer = const FileEntry *;
        using reference = const FileEntry &;

        const_iterator() = default;
        reference operator*() const { return (*(*m_chunks)[m_chunk])[m_offset]; }
        pointer operator->() const { return &**this; }
        const_iterator &operator++();
        const_iterator operator++(int) {
            auto copy = *this;
            ++*this;
            return copy;
        }
        friend bool operator==(const const_iterator &a, const const_iterator &b) {
            return a.m_chunk == b.m_chunk && a.m_offset == b.m_offset;
        }

    private:
        friend class FileEntryList;
        const std::vector<Chunk> *m_chunks = nullptr;
        std::size_t m_chunk = 0;
        std::size_t m_offset = 0;
    };
    using iterator = const_iterator;
    using value_type = FileEntry;

    FileEntryList() = default;
    explicit FileEntryList(std::vector<FileEntry> entries);

    // A new list: this one followed by `chunk`. This list is unchanged.
    FileEntryList appending(std::vector<FileEntry> chunk) const;
    FileEntryList appending(Chunk chunk) const;

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    // O(log chunks).
    const FileEntry &operator[](std::size_t index) const;
    const_iterator begin() const;
    const_iterator end() const;
    std::vector<FileEntry> toVector() const;
    const std::vector<Chunk> &chunks() const { return m_chunks; }

    friend bool operator==(const FileEntryList &a, const FileEntryList &b);

private:
    std::vector<Chunk> m_chunks;
    std::vector<std::size_t> m_starts; // index of each chunk's first entry
    std::size_t m_size = 0;
};

} // namespace dromel
