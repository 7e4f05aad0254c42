// Compact storage for the rows of a client-side cursor.
//
// Rows are packed one after another into large chunks: every cell is a tag byte
// followed by as few bytes as its value needs (a small integer takes two bytes,
// a short text one byte more than its length). A chunked index keeps one pointer
// per row, so neither the rows nor the index are ever moved or copied as the set
// grows, and a million rows cost no more than their bytes plus a pointer each.
#pragma once

#include "engine/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace quillmere::db {

class RowStore {
public:
    RowStore() = default;
    RowStore(RowStore&&) noexcept = default;
    RowStore& operator=(RowStore&&) noexcept = default;

    void clear();
    std::size_t size() const { return count_; }
    int columns() const { return columns_; }
    void setColumns(int n) { columns_ = n; }

    // Appends a row of columns() cells.
    void append(std::span<const engine::ValueView> cells);
    // Stores a new version of row r (the old bytes stay unused in their chunk).
    void replace(std::size_t r, std::span<const engine::ValueView> cells);

    engine::ValueView cell(std::size_t r, int column) const;

    // Bytes held: chunks and index.
    std::size_t bytes() const { return chunkBytes_ + indexBlocks_.size() * kIndexBlock * sizeof(void*); }

private:
    static constexpr std::size_t kChunk = 1 << 20;
    static constexpr std::size_t kIndexBlock = 4096;

    const std::uint8_t* write(std::span<const engine::ValueView> cells);
    std::uint8_t* allocate(std::size_t n);
    const std::uint8_t*& slot(std::size_t r) { return indexBlocks_[r / kIndexBlock][r % kIndexBlock]; }
    const std::uint8_t* slot(std::size_t r) const { return indexBlocks_[r / kIndexBlock][r % kIndexBlock]; }

    int columns_ = 0;
    std::size_t count_ = 0;
    std::vector<std::unique_ptr<std::uint8_t[]>> chunks_;
    std::uint8_t* free_ = nullptr;
    std::size_t freeLeft_ = 0;
    std::size_t freeChunkSize_ = 0;
    std::size_t chunkBytes_ = 0;
    std::vector<std::unique_ptr<const std::uint8_t*[]>> indexBlocks_;
};

}  // namespace quillmere::db
