#include "fileops/pieces.h"
#include <algorithm>
#include <cstring>
#include <new>

namespace {
// Runs of a single-byte code page are converted in batches of this size.
const size_t kBatchBytes = 64 * 1024;
}  // namespace

PieceDecoder::PieceDecoder(UINT codePage, size_t expectedBytes) : codePage_(codePage) {
    CPINFO info = {};
    singleByte_ = ::GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
    // A byte never gives more than one character of the wide text.
    text_.reserve(expectedBytes);
    pending_.reserve(singleByte_ ? kBatchBytes + kPieceBytes : kPieceBytes);
}

void PieceDecoder::Feed(const char* bytes, size_t count) {
    while (count > 0) {
        const char* zero = static_cast<const char*>(memchr(bytes, 0, count));
        const size_t run = zero ? static_cast<size_t>(zero - bytes) : count;
        Take(bytes, run);
        if (!zero) return;
        EndPiece();  // the zero byte is consumed, not stored
        bytes += run + 1;
        count -= run + 1;
    }
}

void PieceDecoder::Take(const char* bytes, size_t count) {
    if (singleByte_) {
        pending_.append(bytes, count);
        if (pending_.size() >= kBatchBytes) EndPiece();
        return;
    }
    while (count > 0) {
        const size_t part = std::min(count, kPieceBytes - taken_);
        pending_.append(bytes, part);
        taken_ += part;
        bytes += part;
        count -= part;
        if (taken_ == kPieceBytes) EndPiece();
    }
}

void PieceDecoder::EndPiece() {
    taken_ = 0;
    if (pending_.empty()) return;
    if (pending_.size() > static_cast<size_t>(INT_MAX)) throw std::bad_alloc();
    const int bytes = static_cast<int>(pending_.size());
    const size_t start = text_.size();
    text_.resize(start + pending_.size());
    int chars = ::MultiByteToWideChar(codePage_, 0, pending_.data(), bytes, &text_[start], bytes);
    if (chars <= 0 && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        const int needed = ::MultiByteToWideChar(codePage_, 0, pending_.data(), bytes, nullptr, 0);
        text_.resize(start + static_cast<size_t>(std::max(needed, 0)));
        chars = needed > 0 ? ::MultiByteToWideChar(codePage_, 0, pending_.data(), bytes, &text_[start], needed) : 0;
    }
    text_.resize(start + static_cast<size_t>(std::max(chars, 0)));
    pending_.clear();
}

const std::wstring& PieceDecoder::Finish() {
    EndPiece();
    return text_;
}
