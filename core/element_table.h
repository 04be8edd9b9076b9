#pragma once

#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <vector>

#include "core/change_tracking.h"
#include "platform/huge_pages.h"

// A Mesh element table: a growable array of plain records cut into blocks of 64 elements,
// one 32-bit stamp per block. Every write through write()/append() stamps the block with the
// process-wide edit epoch, so derived data (block hashes, the spatial index) can refresh only
// what changed. Two kinds of observer can be attached, each kept in its own intrusive list:
//   TableJournal  records a block's previous contents the first time it is written, for undo;
//   TableSnapshot copies a block aside before its first write, so a reader on another thread
//                 keeps the table as it was at attach time.
// The table is used from one writer thread; only TableSnapshot::element may be called from
// other threads.

namespace korvan {

template <class T>
class TableJournal;
template <class T>
class TableSnapshot;

template <class T>
class ElementTable {
    static_assert(std::is_trivially_copyable_v<T>, "records are copied as bytes");

public:
    static constexpr std::uint32_t kBlockShift = 6;
    static constexpr std::uint32_t kBlockSize = 1u << kBlockShift;
    // Ids are 32-bit and 0xFFFFFFFF is the invalid id.
    static constexpr std::size_t kMaxElements = 0xFFFFFFFEu;

    ElementTable() = default;
    // Copies and moves carry the contents and stamps, never the observers.
    ElementTable(const ElementTable& other);
    ElementTable(ElementTable&& other);
    ElementTable& operator=(const ElementTable& other);
    ElementTable& operator=(ElementTable&& other);
    ~ElementTable();

    std::uint32_t size() const { return static_cast<std::uint32_t>(items_.size()); }
    bool empty() const { return items_.empty(); }
    std::span<const T> view() const { return items_; }
    const T& operator[](std::uint32_t i) const {
        assert(i < items_.size());
        return items_[i];
    }

    // Mutable access to one element; stamps its block and lets the observers save the block
    // first. The reference is valid until the next append.
    T& write(std::uint32_t i) {
        assert(i < items_.size());
        const std::uint32_t block = i >> kBlockShift;
        if (journals_ || snapshots_) before_write(block);
        const std::uint32_t epoch = current_edit_epoch();
        stamps_[block] = epoch;
        latest_stamp_ = epoch;
        return items_[i];
    }

    // Appends one element and returns its index.
    std::uint32_t append(const T& value) {
        const std::size_t old_size = items_.size();
        assert(old_size < kMaxElements);
        if (journals_ || snapshots_) before_grow(old_size + 1);
        items_.push_back(value);
        stamp_tail(old_size, old_size + 1);
        return static_cast<std::uint32_t>(old_size);
    }

    // Appends n default records and returns the first; the pointer is valid until the next
    // append. New elements are stamped already, so filling them needs no write().
    T* append_n(std::uint32_t n) {
        const std::size_t old_size = items_.size();
        assert(old_size + n <= kMaxElements);
        if (journals_ || snapshots_) before_grow(old_size + n);
        items_.resize(old_size + n);
        stamp_tail(old_size, old_size + n);
        return items_.data() + old_size;
    }

    void reserve(std::size_t n);
    void shrink_to_fit();
    // Empties the table; observers save every block first.
    void clear();
    // Heap bytes held: records by capacity plus the stamps.
    std::size_t memory_bytes() const {
        return items_.capacity() * sizeof(T) + stamps_.capacity() * sizeof(std::uint32_t);
    }

    std::uint32_t block_count() const { return static_cast<std::uint32_t>(stamps_.size()); }
    std::span<const std::uint32_t> block_stamps() const { return stamps_; }
    // The epoch of the most recent write; 0 for a table never written.
    std::uint32_t latest_stamp() const { return latest_stamp_; }

    void attach(TableJournal<T>& journal);
    void detach(TableJournal<T>& journal);
    void attach(TableSnapshot<T>& snapshot);
    void detach(TableSnapshot<T>& snapshot);
    // Puts back what the journal recorded and truncates the table to its size when the
    // journal was attached: the table is then byte-for-byte as it was. Restored blocks are
    // stamped like any write.
    void restore(const TableJournal<T>& journal);

private:
    void stamp_tail(std::size_t old_size, std::size_t new_size) {
        const std::uint32_t epoch = current_edit_epoch();
        const std::size_t first = old_size >> kBlockShift;
        const std::size_t end = (new_size + kBlockSize - 1) >> kBlockShift;
        if (stamps_.size() < end) stamps_.resize(end);
        for (std::size_t b = first; b < end; ++b) stamps_[b] = epoch;
        latest_stamp_ = epoch;
    }
    void before_write(std::uint32_t block);
    void before_grow(std::size_t new_size);
    void before_replace_all();
    void release_observers();

    // Big tables live on huge pages: a million-face mesh holds hundreds of megabytes here.
    std::vector<T, platform::BigAllocator<T>> items_;
    std::vector<std::uint32_t> stamps_;
    std::uint32_t latest_stamp_ = 0;
    TableJournal<T>* journals_ = nullptr;
    TableSnapshot<T>* snapshots_ = nullptr;
};

// Change journal: while attached, records for each block written (once) its index, its first
// element and its previous contents. Restore through ElementTable::restore or Mesh::restore.
template <class T>
class TableJournal {
public:
    struct Entry {
        std::uint32_t block = 0;
        std::uint32_t first = 0;  // index of the block's first element
        std::uint32_t count = 0;  // elements saved (the last block may be short)
        std::size_t offset = 0;   // into the saved contents
    };

    TableJournal() = default;
    TableJournal(const TableJournal&) = delete;
    TableJournal& operator=(const TableJournal&) = delete;
    ~TableJournal();

    bool attached() const { return table_ != nullptr; }
    std::uint32_t size_at_attach() const { return size_at_attach_; }
    std::span<const Entry> entries() const { return entries_; }
    std::span<const T> previous_contents(const Entry& e) const {
        return std::span<const T>(saved_).subspan(e.offset, e.count);
    }

private:
    friend class ElementTable<T>;
    void start(const ElementTable<T>& table, std::uint32_t size);
    void record(std::uint32_t block, const T* items, std::size_t size);

    ElementTable<T>* table_ = nullptr;
    TableJournal* next_ = nullptr;
    std::uint32_t size_at_attach_ = 0;
    std::vector<std::uint8_t> recorded_;  // per block that existed at attach time
    std::vector<Entry> entries_;
    std::vector<T> saved_;
};

// Copy-on-write snapshot: a reader on another thread sees the table as it was at attach time
// while the owning thread keeps editing. Blocks are copied aside lazily, by whichever side
// touches them first; a writer meeting a block that a reader is copying yields until the copy
// is done.
template <class T>
class TableSnapshot {
public:
    enum BlockState : std::uint8_t { kUntouched = 0, kBeingCopied = 1, kCopied = 2 };

    TableSnapshot() = default;
    TableSnapshot(const TableSnapshot&) = delete;
    TableSnapshot& operator=(const TableSnapshot&) = delete;
    ~TableSnapshot();

    bool attached() const { return table_ != nullptr; }
    // Number of elements the table had at attach time.
    std::uint32_t size() const { return size_; }
    // Element i as of attach time (i < size()). Safe from any thread while attached, and
    // after the table itself went away (it hands over every block first). Detach only once
    // the readers are done: after that, blocks never copied would be read from the live table.
    T element(std::uint32_t i) const;
    BlockState block_state(std::uint32_t block) const {
        return static_cast<BlockState>(states_[block].load(std::memory_order_acquire));
    }

private:
    friend class ElementTable<T>;
    void start(const T* live, std::uint32_t size);
    // Makes sure the block's original contents are set aside; returns when they are.
    void preserve(std::uint32_t block) const;
    void preserve_all() const;
    bool try_copy(std::uint32_t block) const;

    ElementTable<T>* table_ = nullptr;
    TableSnapshot* next_ = nullptr;
    const T* live_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t blocks_ = 0;
    mutable std::unique_ptr<std::atomic<std::uint8_t>[]> states_;
    mutable std::unique_ptr<std::unique_ptr<T[]>[]> copies_;
};

}  // namespace korvan
