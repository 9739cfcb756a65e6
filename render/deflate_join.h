// Raw deflate streams written piece by piece with a whole-buffer compressor.
//
// libdeflate compresses a whole buffer into a complete raw deflate stream, its last block
// marked final, and has no way to go on from there. A page image is compressed a piece of
// rows at a time while the rest is still being painted, and a PNG holds one stream: every
// piece but the last is turned into a stream that goes on (its final mark cleared, then
// an empty stored block to end it on a byte boundary, as zlib's sync flush ends its
// output), so the pieces joined are one stream. Back-references never cross pieces.
#pragma once

#include <cstddef>

// Turns the complete raw deflate stream in data[0, *size) into one that goes on: the last
// block's final mark cleared, the bits after that block zeroed and an empty stored block
// appended; *size becomes the new length, at most *size + 5 (`data` must hold that many
// bytes). False, with the bytes unchanged, when they are not a complete, well-formed
// deflate stream.
bool ContinueDeflateStream(unsigned char* data, std::size_t* size);

// Rows that repeat the row above (the paper between lines) are, filtered, one filter byte
// and zeros: written here straight as deflate, without a compressor. Writes `rows` rows of
// `filter` followed by `zeros` zero bytes (at least 3) as one non-final block, ended on a
// byte boundary like ContinueDeflateStream's output, so more blocks can follow; returns the
// bytes written to `out`, which must hold ZeroRowsBound(zeros, rows).
std::size_t DeflateZeroRows(unsigned char filter, std::size_t zeros, std::size_t rows, unsigned char* out);
std::size_t ZeroRowsBound(std::size_t zeros, std::size_t rows);
