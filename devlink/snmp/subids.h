// The sub-identifiers of an OID as numbers. The usual printer-MIB lengths fit inside the object,
// so creating, copying or decoding an OID needs no second allocation; longer ones use the heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace devlink {

class SubIdArray {
public:
    static constexpr size_t kInline = 24;

    SubIdArray() = default;
    // Copies only the sub-identifiers in use; may throw std::bad_alloc like any container copy.
    SubIdArray(const SubIdArray& o) { assign(o.data(), o.size()); }
    SubIdArray& operator=(const SubIdArray& o) {
        if (this != &o) assign(o.data(), o.size());
        return *this;
    }

    const uint32_t* data() const { return size_ <= kInline ? inline_ : heap_.data(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    uint32_t operator[](size_t i) const { return data()[i]; }
    void clear() {
        size_ = 0;
        heap_.clear();
    }
    // Replaces the contents; may throw std::bad_alloc for OIDs longer than kInline.
    void assign(const uint32_t* ids, size_t n) {
        if (n <= kInline) {
            heap_.clear();
            if (n) std::memmove(inline_, ids, n * sizeof *ids);
        } else {
            heap_.assign(ids, ids + n);
        }
        size_ = n;
    }
    // Room for a reader to write up to n sub-identifiers in place, emptying the array; keep() then
    // says how many it wrote. Null when n goes beyond kInline and there is no memory.
    uint32_t* room(size_t n) noexcept {
        size_ = 0;
        if (n <= kInline) {
            heap_.clear();
            return inline_;
        }
        try {
            heap_.resize(n);
        } catch (...) {
            return nullptr;
        }
        return heap_.data();
    }
    // Keeps the first n sub-identifiers written into room().
    void keep(size_t n) noexcept {
        if (!heap_.empty()) {
            if (n <= kInline) {
                std::memcpy(inline_, heap_.data(), n * sizeof(uint32_t));
                heap_.clear();
            } else {
                heap_.resize(n);  // shrinking does not allocate
            }
        }
        size_ = n;
    }
    // May throw std::bad_alloc when the OID grows beyond kInline.
    void push_back(uint32_t id) {
        if (size_ < kInline) {
            inline_[size_++] = id;
            return;
        }
        if (size_ == kInline) heap_.assign(inline_, inline_ + kInline);
        heap_.push_back(id);
        ++size_;
    }
    // Removes count sub-identifiers from start; the caller keeps both within the size.
    void erase(size_t start, size_t count) {
        if (size_ > kInline) {
            heap_.erase(heap_.begin() + static_cast<std::ptrdiff_t>(start),
                        heap_.begin() + static_cast<std::ptrdiff_t>(start + count));
            size_ -= count;
            if (size_ <= kInline) {
                std::memcpy(inline_, heap_.data(), size_ * sizeof(uint32_t));
                heap_.clear();
            }
            return;
        }
        std::memmove(inline_ + start, inline_ + start + count, (size_ - start - count) * sizeof(uint32_t));
        size_ -= count;
    }
    bool operator==(const SubIdArray& o) const {
        return size_ == o.size_ && (size_ == 0 || std::memcmp(data(), o.data(), size_ * sizeof(uint32_t)) == 0);
    }

private:
    size_t size_ = 0;
    uint32_t inline_[kInline];
    std::vector<uint32_t> heap_;  // all sub-identifiers while size_ > kInline
};

}  // namespace devlink
