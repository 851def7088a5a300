// The byte image of a tree file held as records in pieces: each record (with its terminator) a
// view into the loaded file or into the bytes of the edit that made it, kept in chunks of a
// few hundred records with their byte and record counts summed per chunk. An edit anywhere
// touches one chunk or a few and the sums, never the whole image; chunks are shared with
// snapshots (copied on write), so a checkpoint can write a snapshot on another thread while
// edits go on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The bytes a file was loaded into: read into the heap or mapped.
class ImageBuffer {
public:
    virtual ~ImageBuffer() = default;
    virtual std::string_view bytes() const = 0;
};

// A read-only view of the image at one moment; safe to read on any thread.
class ImageSnapshot {
public:
    struct Piece;
    struct Chunk;
    size_t size() const { return size_; }
    // Calls `sink(bytes)` for every piece, in order.
    template <typename Sink>
    void ForEachPiece(Sink sink) const;

private:
    friend class RecordImage;
    std::vector<std::shared_ptr<const Chunk>> chunks_;
    std::shared_ptr<const ImageBuffer> base_;
    std::shared_ptr<const std::string> tail_;
    size_t size_ = 0;
};

class RecordImage {
public:
    static constexpr int32_t kUnknownDepth = std::numeric_limits<int32_t>::min();

    RecordImage();
    ~RecordImage();

    // Takes the loaded file as the image.
    void Assign(std::shared_ptr<const ImageBuffer> base);
    void Clear();

    size_t size() const { return size_; }
    int count() const { return count_; }
    // Offsets of record i: its first byte and its terminator.
    size_t start(int i) const;
    size_t end(int i) const { return start(i) + Record(i).size(); }
    // Record i without its terminator.
    std::string_view Record(int i) const;
    // What keeps the bytes of record i alive: holding it keeps a view from Record(i) valid on
    // any thread, whatever edits follow.
    std::shared_ptr<const void> Owner(int i) const;
    // The bytes after the last terminator (no record).
    std::string_view tail() const { return tail_ ? std::string_view(*tail_) : std::string_view(); }
    // The record holding byte `offset`; count() for the tail and the end.
    int RecordAt(size_t offset) const;

    int32_t depth(int i) const;
    void set_depth(int i, int32_t depth);

    // Replaces `length` bytes at `offset`; false (nothing changed) for a range outside.
    bool Replace(size_t offset, size_t length, std::string_view bytes);
    // Inserts whole records (each with its terminator) at `offset`, taking `records` as the
    // owner of their pieces instead of copying them when the offset is a record's first byte
    // or the end of the records. False (nothing changed) for an offset outside.
    bool InsertRecords(size_t offset, std::shared_ptr<const std::string> records);
    // Replaces record i by `record`, which is one whole record: its only terminator is its
    // last byte (not checked, so that a long record is not scanned again). False (nothing
    // changed) for an index outside or an empty record.
    bool ReplaceRecord(int i, std::shared_ptr<const std::string> record);
    // A copy of a byte range (clipped to the image).
    std::string Copy(size_t offset, size_t length) const;
    // The whole image in one string.
    std::string Flatten() const;

    ImageSnapshot Snapshot() const;

private:
    struct Position {
        size_t chunk = 0;
        size_t local = 0;
    };
    Position Locate(int i) const;
    ImageSnapshot::Chunk& Mutable(size_t chunk);
    // Replaces records [first, first + removed) by the records of `text`, which ends with a
    // terminator (or is empty).
    void ReplaceRecords(int first, int removed, std::shared_ptr<const std::string> text);
    void Rebalance();
    void Resum();

    std::vector<std::shared_ptr<ImageSnapshot::Chunk>> chunks_;
    std::vector<int> chunkFirst_;      // index of each chunk's first record
    std::vector<size_t> chunkOffset_;  // offset of each chunk's first byte
    std::shared_ptr<const ImageBuffer> base_;
    std::shared_ptr<const std::string> tail_;
    size_t size_ = 0;
    size_t recordBytes_ = 0;  // bytes of all records (the tail begins here)
    int count_ = 0;
};

struct ImageSnapshot::Piece {
    const char* data = nullptr;
    uint32_t size = 0;  // with the terminator
    int32_t depth = RecordImage::kUnknownDepth;
    std::shared_ptr<const std::string> owner;  // null for bytes of the loaded file
};

struct ImageSnapshot::Chunk {
    std::vector<Piece> pieces;
    size_t bytes = 0;
};

template <typename Sink>
void ImageSnapshot::ForEachPiece(Sink sink) const {
    for (const auto& chunk : chunks_) {
        for (const Piece& piece : chunk->pieces) sink(std::string_view(piece.data, piece.size));
    }
    if (tail_ && !tail_->empty()) sink(std::string_view(*tail_));
}

}  // namespace qm
