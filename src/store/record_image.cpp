#include "store/record_image.h"

#include <algorithm>
#include <cstring>

#include "store/record_format.h"

namespace qm {
namespace {

using Piece = ImageSnapshot::Piece;
using Chunk = ImageSnapshot::Chunk;

// Records per chunk after a split; a chunk is split when it holds twice as many.
constexpr size_t kChunkRecords = 256;

// The records of `text` (each with its terminator) as pieces owned by `owner`; returns where
// the bytes after the last terminator begin.
size_t SplitPieces(std::string_view text, const std::shared_ptr<const std::string>& owner,
                   std::vector<Piece>* out) {
    const char* const begin = text.data();
    const char* p = begin;
    const char* const stop = begin + text.size();
    while (p < stop) {
        const void* hit = std::memchr(p, kRecordTerminator, static_cast<size_t>(stop - p));
        if (hit == nullptr) break;
        const char* at = static_cast<const char*>(hit);
        Piece piece;
        piece.data = p;
        piece.size = static_cast<uint32_t>(at + 1 - p);
        piece.owner = owner;
        out->push_back(std::move(piece));
        p = at + 1;
    }
    return static_cast<size_t>(p - begin);
}

}  // namespace

RecordImage::RecordImage() = default;
RecordImage::~RecordImage() = default;

void RecordImage::Clear() {
    chunks_.clear();
    base_.reset();
    tail_.reset();
    Resum();
}

void RecordImage::Assign(std::shared_ptr<const ImageBuffer> base) {
    Clear();
    base_ = std::move(base);
    const std::string_view bytes = base_ ? base_->bytes() : std::string_view();
    std::vector<Piece> pieces;
    pieces.reserve(bytes.size() / 512 + 16);
    const size_t recordsEnd = SplitPieces(bytes, nullptr, &pieces);
    if (recordsEnd < bytes.size()) {
        tail_ = std::make_shared<const std::string>(bytes.substr(recordsEnd));
    }
    for (size_t i = 0; i < pieces.size(); i += kChunkRecords) {
        auto chunk = std::make_shared<Chunk>();
        const size_t n = std::min(kChunkRecords, pieces.size() - i);
        chunk->pieces.assign(
            std::make_move_iterator(pieces.begin() + static_cast<std::ptrdiff_t>(i)),
            std::make_move_iterator(pieces.begin() + static_cast<std::ptrdiff_t>(i + n)));
        for (const Piece& piece : chunk->pieces) chunk->bytes += piece.size;
        chunks_.push_back(std::move(chunk));
    }
    Resum();
}

void RecordImage::Resum() {
    chunkFirst_.resize(chunks_.size());
    chunkOffset_.resize(chunks_.size());
    int records = 0;
    size_t bytes = 0;
    for (size_t c = 0; c < chunks_.size(); ++c) {
        chunkFirst_[c] = records;
        chunkOffset_[c] = bytes;
        records += static_cast<int>(chunks_[c]->pieces.size());
        bytes += chunks_[c]->bytes;
    }
    count_ = records;
    recordBytes_ = bytes;
    size_ = bytes + (tail_ ? tail_->size() : 0);
}

RecordImage::Position RecordImage::Locate(int i) const {
    const auto it = std::upper_bound(chunkFirst_.begin(), chunkFirst_.end(), i);
    Position p;
    p.chunk = it == chunkFirst_.begin() ? 0 : static_cast<size_t>(it - chunkFirst_.begin()) - 1;
    p.local = chunks_.empty() ? 0 : static_cast<size_t>(i - chunkFirst_[p.chunk]);
    return p;
}

size_t RecordImage::start(int i) const {
    if (i >= count_) return recordBytes_;
    const Position p = Locate(i);
    size_t offset = chunkOffset_[p.chunk];
    const std::vector<Piece>& pieces = chunks_[p.chunk]->pieces;
    for (size_t k = 0; k < p.local; ++k) offset += pieces[k].size;
    return offset;
}

std::string_view RecordImage::Record(int i) const {
    const Position p = Locate(i);
    const Piece& piece = chunks_[p.chunk]->pieces[p.local];
    return std::string_view(piece.data, piece.size - 1);
}

std::shared_ptr<const void> RecordImage::Owner(int i) const {
    const Position p = Locate(i);
    const Piece& piece = chunks_[p.chunk]->pieces[p.local];
    if (piece.owner != nullptr) return piece.owner;
    return base_;
}

bool RecordImage::ReplaceRecord(int i, std::shared_ptr<const std::string> record) {
    if (i < 0 || i >= count_ || record == nullptr || record->empty()) return false;
    const Position p = Locate(i);
    Chunk& chunk = Mutable(p.chunk);
    Piece& piece = chunk.pieces[p.local];
    chunk.bytes = chunk.bytes - piece.size + record->size();
    piece.data = record->data();
    piece.size = static_cast<uint32_t>(record->size());
    piece.owner = std::move(record);
    piece.depth = kUnknownDepth;  // read again from the new bytes when asked
    Resum();
    return true;
}

int RecordImage::RecordAt(size_t offset) const {
    if (offset >= recordBytes_) return count_;
    const auto it = std::upper_bound(chunkOffset_.begin(), chunkOffset_.end(), offset);
    const size_t c = static_cast<size_t>(it - chunkOffset_.begin()) - 1;
    size_t at = chunkOffset_[c];
    const std::vector<Piece>& pieces = chunks_[c]->pieces;
    for (size_t k = 0; k < pieces.size(); ++k) {
        if (offset < at + pieces[k].size) return chunkFirst_[c] + static_cast<int>(k);
        at += pieces[k].size;
    }
    return count_;  // not reached: the chunk sums cover every record byte
}

int32_t RecordImage::depth(int i) const {
    const Position p = Locate(i);
    return chunks_[p.chunk]->pieces[p.local].depth;
}

void RecordImage::set_depth(int i, int32_t depth) {
    // Only the cache of a piece changes, never its bytes: a snapshot sharing the chunk reads
    // the bytes alone, so the chunk is not copied for this.
    const Position p = Locate(i);
    chunks_[p.chunk]->pieces[p.local].depth = depth;
}

Chunk& RecordImage::Mutable(size_t chunk) {
    if (chunks_[chunk].use_count() > 1) chunks_[chunk] = std::make_shared<Chunk>(*chunks_[chunk]);
    return *chunks_[chunk];
}

bool RecordImage::Replace(size_t offset, size_t length, std::string_view bytes) {
    if (offset > size_ || length > size_ - offset) return false;
    if (length == 0 && bytes.empty()) return true;

    // The edit touches the records from r0 (holding `offset`) to r1 (holding its last byte);
    // count_ stands for the tail. Their bytes before and after the edited range are kept.
    const int r0 = RecordAt(offset);
    const int r1 = length == 0 ? r0 : RecordAt(offset + length - 1);
    auto pieceView = [this](int r) {
        if (r >= count_) return tail();
        const Position p = Locate(r);
        const Piece& piece = chunks_[p.chunk]->pieces[p.local];
        return std::string_view(piece.data, piece.size);
    };
    const size_t start0 = start(r0);
    std::string text;
    int included = 0;
    bool withTail = false;
    const bool atBoundary = offset == start0;
    if (length == 0 && atBoundary && bytes.back() == kRecordTerminator) {
        text.assign(bytes);  // whole records in front of r0
    } else {
        const std::string_view first = pieceView(r0);
        const size_t start1 = r1 == r0 ? start0 : start(r1);
        const std::string_view last = pieceView(r1);
        const size_t suffixFrom = length == 0 ? offset - start0 : offset + length - start1;
        text.reserve(offset - start0 + bytes.size() + last.size() - suffixFrom);
        text.append(first.substr(0, offset - start0));
        text.append(bytes);
        text.append(last.substr(suffixFrom));
        included = r0 < count_ ? std::min(r1, count_ - 1) - r0 + 1 : 0;
        withTail = r1 >= count_;
    }
    // Bytes that lost their terminator join the next record (or the tail).
    while (!withTail && !text.empty() && text.back() != kRecordTerminator) {
        if (r0 + included < count_) {
            text.append(pieceView(r0 + included));
            ++included;
        } else {
            text.append(tail());
            withTail = true;
        }
    }
    if (withTail) {
        const size_t lastEnd = text.rfind(kRecordTerminator);
        const size_t recordsEnd = lastEnd == std::string::npos ? 0 : lastEnd + 1;
        tail_ = recordsEnd < text.size()
                    ? std::make_shared<const std::string>(text.substr(recordsEnd))
                    : nullptr;
        text.resize(recordsEnd);
    }
    ReplaceRecords(r0, included, std::make_shared<const std::string>(std::move(text)));
    return true;
}

bool RecordImage::InsertRecords(size_t offset, std::shared_ptr<const std::string> records) {
    if (records == nullptr || records->empty()) return offset <= size_;
    const int r = RecordAt(offset);
    const bool boundary = r < count_ ? start(r) == offset : offset == recordBytes_;
    if (!boundary || records->back() != kRecordTerminator) return Replace(offset, 0, *records);
    ReplaceRecords(r, 0, std::move(records));
    return true;
}

void RecordImage::ReplaceRecords(int first, int removed, std::shared_ptr<const std::string> text) {
    std::vector<Piece> added;
    SplitPieces(*text, text, &added);
    if (chunks_.empty()) {
        if (added.empty()) {
            Resum();
            return;
        }
        chunks_.push_back(std::make_shared<Chunk>());
        Resum();
    }
    Position p = first >= count_ ? Position{chunks_.size() - 1, chunks_.back()->pieces.size()}
                                 : Locate(first);
    size_t c = p.chunk;
    size_t local = p.local;
    int left = removed;
    while (left > 0 && c < chunks_.size()) {
        Chunk& chunk = Mutable(c);
        const size_t n = std::min(static_cast<size_t>(left), chunk.pieces.size() - local);
        for (size_t k = local; k < local + n; ++k) chunk.bytes -= chunk.pieces[k].size;
        chunk.pieces.erase(chunk.pieces.begin() + static_cast<std::ptrdiff_t>(local),
                           chunk.pieces.begin() + static_cast<std::ptrdiff_t>(local + n));
        left -= static_cast<int>(n);
        ++c;
        local = 0;
    }
    if (!added.empty()) {
        Chunk& chunk = Mutable(p.chunk);
        for (const Piece& piece : added) chunk.bytes += piece.size;
        chunk.pieces.insert(chunk.pieces.begin() + static_cast<std::ptrdiff_t>(p.local),
                            std::make_move_iterator(added.begin()),
                            std::make_move_iterator(added.end()));
    }
    Rebalance();
    Resum();
}

void RecordImage::Rebalance() {
    std::vector<std::shared_ptr<Chunk>> out;
    out.reserve(chunks_.size() + 1);
    for (auto& chunk : chunks_) {
        if (chunk->pieces.empty()) continue;
        if (chunk->pieces.size() <= 2 * kChunkRecords) {
            out.push_back(std::move(chunk));
            continue;
        }
        const std::vector<Piece>& pieces = chunk->pieces;
        for (size_t i = 0; i < pieces.size(); i += kChunkRecords) {
            auto part = std::make_shared<Chunk>();
            const size_t n = std::min(kChunkRecords, pieces.size() - i);
            part->pieces.assign(pieces.begin() + static_cast<std::ptrdiff_t>(i),
                                pieces.begin() + static_cast<std::ptrdiff_t>(i + n));
            for (const Piece& piece : part->pieces) part->bytes += piece.size;
            out.push_back(std::move(part));
        }
    }
    chunks_ = std::move(out);
}

std::string RecordImage::Copy(size_t offset, size_t length) const {
    std::string out;
    if (offset >= size_) return out;
    length = std::min(length, size_ - offset);
    out.reserve(length);
    int r = RecordAt(offset);
    size_t at = start(r);
    while (out.size() < length) {
        std::string_view piece;
        if (r >= count_) {
            piece = tail();
        } else {
            const Position p = Locate(r);
            const Piece& rec = chunks_[p.chunk]->pieces[p.local];
            piece = std::string_view(rec.data, rec.size);
        }
        const size_t from = offset + out.size() - at;
        out.append(piece.substr(from, length - out.size()));
        at += piece.size();
        ++r;
    }
    return out;
}

std::string RecordImage::Flatten() const {
    std::string out;
    out.reserve(size_);
    Snapshot().ForEachPiece([&out](std::string_view piece) { out.append(piece); });
    return out;
}

ImageSnapshot RecordImage::Snapshot() const {
    ImageSnapshot snapshot;
    snapshot.chunks_.assign(chunks_.begin(), chunks_.end());
    snapshot.base_ = base_;
    snapshot.tail_ = tail_;
    snapshot.size_ = size_;
    return snapshot;
}

}  // namespace qm
