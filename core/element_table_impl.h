#pragma once

// Out-of-line members of ElementTable and its observers. Included only by
// element_table.cpp, which instantiates them for the mesh records.

#include <algorithm>
#include <cstring>
#include <thread>
#include <utility>

#include "core/element_table.h"

namespace korvan {

// ---- ElementTable ----------------------------------------------------------------------

template <class T>
ElementTable<T>::ElementTable(const ElementTable& other)
    : items_(other.items_), stamps_(other.stamps_), latest_stamp_(other.latest_stamp_) {}

template <class T>
ElementTable<T>::ElementTable(ElementTable&& other) {
    // The storage changes owner, so the source's observers must hold their copies first.
    other.before_replace_all();
    items_ = std::move(other.items_);
    stamps_ = std::move(other.stamps_);
    latest_stamp_ = other.latest_stamp_;
    other.items_.clear();
    other.stamps_.clear();
    other.latest_stamp_ = current_edit_epoch();
}

template <class T>
ElementTable<T>& ElementTable<T>::operator=(const ElementTable& other) {
    if (this == &other) return *this;
    before_replace_all();
    items_ = other.items_;
    stamps_ = other.stamps_;
    latest_stamp_ = other.latest_stamp_;
    return *this;
}

template <class T>
ElementTable<T>& ElementTable<T>::operator=(ElementTable&& other) {
    if (this == &other) return *this;
    before_replace_all();
    other.before_replace_all();
    items_ = std::move(other.items_);
    stamps_ = std::move(other.stamps_);
    latest_stamp_ = other.latest_stamp_;
    other.items_.clear();
    other.stamps_.clear();
    other.latest_stamp_ = current_edit_epoch();
    return *this;
}

template <class T>
ElementTable<T>::~ElementTable() {
    release_observers();
}

template <class T>
void ElementTable<T>::release_observers() {
    // Snapshot readers may outlive the table: give them every block before it goes.
    for (TableSnapshot<T>* s = snapshots_; s;) {
        TableSnapshot<T>* next = s->next_;
        s->preserve_all();
        s->table_ = nullptr;
        s->next_ = nullptr;
        s = next;
    }
    for (TableJournal<T>* j = journals_; j;) {
        TableJournal<T>* next = j->next_;
        j->table_ = nullptr;
        j->next_ = nullptr;
        j = next;
    }
    snapshots_ = nullptr;
    journals_ = nullptr;
}

template <class T>
void ElementTable<T>::reserve(std::size_t n) {
    if (n <= items_.capacity()) return;
    if (snapshots_) before_grow(n);  // reallocation moves the records
    items_.reserve(n);
    stamps_.reserve((n + kBlockSize - 1) >> kBlockShift);
}

template <class T>
void ElementTable<T>::shrink_to_fit() {
    if (items_.size() == items_.capacity()) return;
    for (TableSnapshot<T>* s = snapshots_; s; s = s->next_) s->preserve_all();
    items_.shrink_to_fit();
    stamps_.shrink_to_fit();
}

template <class T>
void ElementTable<T>::clear() {
    before_replace_all();
    items_.clear();
    stamps_.clear();
    latest_stamp_ = current_edit_epoch();
}

template <class T>
void ElementTable<T>::before_write(std::uint32_t block) {
    for (TableJournal<T>* j = journals_; j; j = j->next_) {
        j->record(block, items_.data(), items_.size());
    }
    for (TableSnapshot<T>* s = snapshots_; s; s = s->next_) s->preserve(block);
}

template <class T>
void ElementTable<T>::before_grow(std::size_t new_size) {
    const std::size_t size = items_.size();
    // Appending into a partly filled last block writes that block.
    if (size % kBlockSize != 0) before_write(static_cast<std::uint32_t>(size >> kBlockShift));
    if (new_size > items_.capacity()) {
        for (TableSnapshot<T>* s = snapshots_; s; s = s->next_) s->preserve_all();
    }
}

template <class T>
void ElementTable<T>::before_replace_all() {
    const std::uint32_t blocks = block_count();
    for (TableJournal<T>* j = journals_; j; j = j->next_) {
        for (std::uint32_t b = 0; b < blocks; ++b) j->record(b, items_.data(), items_.size());
    }
    for (TableSnapshot<T>* s = snapshots_; s; s = s->next_) s->preserve_all();
}

template <class T>
void ElementTable<T>::attach(TableJournal<T>& journal) {
    if (journal.table_) journal.table_->detach(journal);
    journal.start(*this, size());
    journal.table_ = this;
    journal.next_ = journals_;
    journals_ = &journal;
}

template <class T>
void ElementTable<T>::detach(TableJournal<T>& journal) {
    for (TableJournal<T>** link = &journals_; *link; link = &(*link)->next_) {
        if (*link == &journal) {
            *link = journal.next_;
            journal.next_ = nullptr;
            journal.table_ = nullptr;
            return;
        }
    }
}

template <class T>
void ElementTable<T>::attach(TableSnapshot<T>& snapshot) {
    if (snapshot.table_) snapshot.table_->detach(snapshot);
    snapshot.start(items_.data(), size());
    snapshot.table_ = this;
    snapshot.next_ = snapshots_;
    snapshots_ = &snapshot;
}

template <class T>
void ElementTable<T>::detach(TableSnapshot<T>& snapshot) {
    for (TableSnapshot<T>** link = &snapshots_; *link; link = &(*link)->next_) {
        if (*link == &snapshot) {
            *link = snapshot.next_;
            snapshot.next_ = nullptr;
            snapshot.table_ = nullptr;
            return;
        }
    }
}

template <class T>
void ElementTable<T>::restore(const TableJournal<T>& journal) {
    const std::size_t target = journal.size_at_attach_;
    const std::size_t size = items_.size();
    // Every block from the first one the truncation cuts into is about to change.
    if (target < size) {
        for (std::size_t b = target >> kBlockShift; b < stamps_.size(); ++b) {
            before_write(static_cast<std::uint32_t>(b));
        }
    } else if (target > size && (journals_ || snapshots_)) {
        before_grow(target);
    }
    items_.resize(target);
    const std::uint32_t epoch = current_edit_epoch();
    stamps_.resize((target + kBlockSize - 1) >> kBlockShift, epoch);
    if (target != size && !stamps_.empty()) {
        const std::size_t from = std::min(target, size) >> kBlockShift;
        for (std::size_t b = from; b < stamps_.size(); ++b) stamps_[b] = epoch;
    }
    for (const auto& e : journal.entries_) {
        if (e.count == 0) continue;
        assert(e.first + e.count <= target);
        before_write(e.block);
        std::memcpy(static_cast<void*>(items_.data() + e.first), journal.saved_.data() + e.offset,
                    e.count * sizeof(T));
        stamps_[e.block] = epoch;
    }
    latest_stamp_ = epoch;
}

// ---- TableJournal ----------------------------------------------------------------------

template <class T>
TableJournal<T>::~TableJournal() {
    if (table_) table_->detach(*this);
}

template <class T>
void TableJournal<T>::start(const ElementTable<T>&, std::uint32_t size) {
    size_at_attach_ = size;
    recorded_.assign((size + ElementTable<T>::kBlockSize - 1) >> ElementTable<T>::kBlockShift, 0);
    entries_.clear();
    saved_.clear();
}

template <class T>
void TableJournal<T>::record(std::uint32_t block, const T* items, std::size_t size) {
    // Blocks that did not exist at attach time hold nothing to restore: truncation drops them.
    if (block >= recorded_.size() || recorded_[block]) return;
    recorded_[block] = 1;
    const std::size_t first = static_cast<std::size_t>(block) << ElementTable<T>::kBlockShift;
    const std::size_t end =
        std::min({first + ElementTable<T>::kBlockSize, size, std::size_t{size_at_attach_}});
    Entry e;
    e.block = block;
    e.first = static_cast<std::uint32_t>(first);
    e.count = end > first ? static_cast<std::uint32_t>(end - first) : 0;
    e.offset = saved_.size();
    saved_.resize(saved_.size() + e.count);
    // Bytes, not member-wise copies: padding too must come back unchanged.
    if (e.count) {
        std::memcpy(static_cast<void*>(saved_.data() + e.offset), items + first,
                    e.count * sizeof(T));
    }
    entries_.push_back(e);
}

// ---- TableSnapshot ---------------------------------------------------------------------

template <class T>
TableSnapshot<T>::~TableSnapshot() {
    if (table_) table_->detach(*this);
}

template <class T>
void TableSnapshot<T>::start(const T* live, std::uint32_t size) {
    live_ = live;
    size_ = size;
    blocks_ = (size + ElementTable<T>::kBlockSize - 1) >> ElementTable<T>::kBlockShift;
    states_ = std::make_unique<std::atomic<std::uint8_t>[]>(blocks_);
    for (std::uint32_t b = 0; b < blocks_; ++b) states_[b].store(kUntouched);
    copies_ = std::make_unique<std::unique_ptr<T[]>[]>(blocks_);
}

template <class T>
bool TableSnapshot<T>::try_copy(std::uint32_t block) const {
    std::uint8_t expected = kUntouched;
    if (!states_[block].compare_exchange_strong(expected, kBeingCopied,
                                                std::memory_order_acq_rel)) {
        return expected == kCopied;
    }
    const std::size_t first = static_cast<std::size_t>(block) << ElementTable<T>::kBlockShift;
    const std::size_t count =
        std::min<std::size_t>(ElementTable<T>::kBlockSize, std::size_t{size_} - first);
    auto copy = std::make_unique<T[]>(ElementTable<T>::kBlockSize);
    std::memcpy(static_cast<void*>(copy.get()), live_ + first, count * sizeof(T));
    copies_[block] = std::move(copy);
    states_[block].store(kCopied, std::memory_order_release);
    return true;
}

template <class T>
void TableSnapshot<T>::preserve(std::uint32_t block) const {
    if (block >= blocks_) return;
    while (!try_copy(block)) std::this_thread::yield();
}

template <class T>
void TableSnapshot<T>::preserve_all() const {
    for (std::uint32_t b = 0; b < blocks_; ++b) preserve(b);
}

template <class T>
T TableSnapshot<T>::element(std::uint32_t i) const {
    assert(i < size_);
    const std::uint32_t block = i >> ElementTable<T>::kBlockShift;
    while (!try_copy(block)) std::this_thread::yield();
    return copies_[block][i & (ElementTable<T>::kBlockSize - 1)];
}

}  // namespace korvan
