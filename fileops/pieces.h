// The text that Read delivers from the bytes of a file after the C runtime's
// text-mode translation: the bytes are taken in pieces of at most 79, a zero
// byte ends a piece and is dropped, and each piece is converted from the
// code page on its own, so a double-byte character that straddles two
// pieces is not joined. Built in one growing buffer: linear in the size.
#pragma once
#include "platform/windows.h"
#include <string>

class PieceDecoder {
public:
    static constexpr size_t kPieceBytes = 79;

    // `expectedBytes` only reserves room; the text may turn out longer.
    explicit PieceDecoder(UINT codePage, size_t expectedBytes = 0);

    // Takes the next bytes of the file; pieces may span calls.
    void Feed(const char* bytes, size_t count);

    // The whole text, the unfinished last piece included.
    const std::wstring& Finish();

private:
    void Take(const char* bytes, size_t count);
    void EndPiece();

    UINT codePage_;
    // In a single-byte code page every byte converts alone, so the piece
    // boundaries change nothing and long runs are converted at once.
    bool singleByte_;
    std::string pending_;  // bytes taken and not yet converted
    size_t taken_ = 0;     // bytes of the current piece
    std::wstring text_;
};
