#pragma once

#include <algorithm>
#include <cstddef>
#include <tuple>
#include <utility>
#include <vector>

// A sequence kept in blocks of a few hundred elements, with the index of each
// block's first element: reaching an index, inserting and erasing cost about
// the block size plus the number of blocks, not the length of the sequence, so
// that filling a sorted list of 100 000 entries one by one stays linear.
template <typename T, std::size_t BlockSize = 512>
class TBlockSequence {
public:
    std::size_t size() const { return FSize; }
    bool empty() const { return FSize == 0; }

    T& operator[](std::size_t i) {
        const auto [block, offset] = locate(i);
        return FBlocks[block][offset];
    }
    const T& operator[](std::size_t i) const {
        const auto [block, offset] = locate(i);
        return FBlocks[block][offset];
    }

    void insert(std::size_t i, T value) {
        if (FBlocks.empty()) {
            FBlocks.emplace_back();
            FStarts.push_back(0);
        }
        std::size_t block = FBlocks.size() - 1;
        std::size_t offset = FBlocks[block].size();
        if (i < FSize)
            std::tie(block, offset) = locate(i);
        else
            offset = i - FStarts[block];
        auto& items = FBlocks[block];
        items.insert(items.begin() + std::ptrdiff_t(offset), std::move(value));
        ++FSize;
        if (items.size() >= 2 * BlockSize) {
            // Split in halves, so that the next inserts here are cheap again.
            std::vector<T> upper(std::make_move_iterator(items.begin() + std::ptrdiff_t(BlockSize)),
                                 std::make_move_iterator(items.end()));
            items.resize(BlockSize);
            FBlocks.insert(FBlocks.begin() + std::ptrdiff_t(block) + 1, std::move(upper));
            FStarts.insert(FStarts.begin() + std::ptrdiff_t(block) + 1, 0);
        }
        renumberFrom(block + 1);
    }
    void push_back(T value) { insert(FSize, std::move(value)); }

    // Erases the elements [first, last).
    void erase(std::size_t first, std::size_t last) {
        std::size_t n = last - first;
        while (n > 0) {
            const auto [block, offset] = locate(first);
            auto& items = FBlocks[block];
            const std::size_t take = std::min(n, items.size() - offset);
            items.erase(items.begin() + std::ptrdiff_t(offset), items.begin() + std::ptrdiff_t(offset + take));
            FSize -= take;
            n -= take;
            if (items.empty()) {
                FBlocks.erase(FBlocks.begin() + std::ptrdiff_t(block));
                FStarts.erase(FStarts.begin() + std::ptrdiff_t(block));
            }
            renumberFrom(block);
        }
    }
    void erase(std::size_t i) { erase(i, i + 1); }

    void clear() {
        FBlocks.clear();
        FStarts.clear();
        FSize = 0;
    }

    // The first index whose element is not less than the key (elements sorted
    // by `less(element, key)`), as std::lower_bound.
    template <typename Key, typename Less>
    std::size_t lowerBound(const Key& key, Less less) const {
        const auto block = std::partition_point(FBlocks.begin(), FBlocks.end(),
                                                [&](const std::vector<T>& items) { return less(items.back(), key); });
        if (block == FBlocks.end())
            return FSize;
        const auto it = std::lower_bound(block->begin(), block->end(), key, less);
        const std::size_t b = std::size_t(block - FBlocks.begin());
        return FStarts[b] + std::size_t(it - block->begin());
    }

    template <typename F>
    void forEach(F f) {
        for (auto& items : FBlocks)
            for (T& item : items)
                f(item);
    }
    template <typename F>
    void forEach(F f) const {
        for (const auto& items : FBlocks)
            for (const T& item : items)
                f(item);
    }

private:
    std::pair<std::size_t, std::size_t> locate(std::size_t i) const {
        const auto after = std::upper_bound(FStarts.begin(), FStarts.end(), i);
        const std::size_t block = std::size_t(after - FStarts.begin()) - 1;
        return {block, i - FStarts[block]};
    }
    void renumberFrom(std::size_t block) {
        for (std::size_t b = block; b < FBlocks.size(); ++b)
            FStarts[b] = b == 0 ? 0 : FStarts[b - 1] + FBlocks[b - 1].size();
    }

    std::vector<std::vector<T>> FBlocks; // none empty
    std::vector<std::size_t> FStarts;    // the index of each block's first element
    std::size_t FSize = 0;
};
