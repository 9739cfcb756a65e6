// PNG files written row by row, so a page image never has to exist whole in memory.
//
// 8-bit RGBA (colour type 6); or, when asked, 8-bit grey (colour type 0) while every row is
// opaque grey, as a text page's are, the first row that is not turning the file into RGBA,
// written again from its start out of the grey rows kept (a quarter of the bytes to filter
// and compress, which is most of what a page image costs). No interlace, every row with
// the "Up" filter: the paper
// between text lines repeats the row above and becomes zeros, which deflate turns into
// almost nothing. Qt's writer tries every filter on every row and needs the whole image;
// a 300-dpi page costs it several times as long. Rows that repeat the row above (the
// paper) are written as deflate straight away; the others are compressed with libdeflate
// a megabyte at a time while the next are painted (deflate_join.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct libdeflate_compressor;

enum class PngColours { Argb, GreyWhenAllGrey };

class PngRowWriter {
public:
    // Creates the file, in place of any file at the path (unlinked, not truncated); IsOpen
    // says whether that worked. Write failures are noted (support/write_failure.h).
    PngRowWriter(const std::string& path, int width, int height, PngColours colours = PngColours::Argb);
    ~PngRowWriter();
    PngRowWriter(const PngRowWriter&) = delete;
    PngRowWriter& operator=(const PngRowWriter&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // Whether the rows so far were all opaque grey (and so written as grey).
    bool IsGrey() const { return m_grey; }
    // One row of `width` pixels in QImage::Format_ARGB32 (0xAARRGGBB), top row first.
    void WriteRow(const std::uint32_t* argb);
    // Ends the file. False, and no file left behind, when a write failed or rows are missing.
    bool Finish();

private:
    void WriteHeader();
    // Starts the file again as RGBA, replaying the grey rows written so far.
    void BecomeRgba();
    std::size_t RowBytes() const { return static_cast<std::size_t>(m_width) * (m_grey ? 1 : 4); }
    void WriteChunk(const char* type, const unsigned char* data, std::size_t size);
    // Compresses the rows waiting, as the stream's end when `last`, into an IDAT chunk.
    void Deflate(bool last);
    // Writes the rows that repeated the row above as IDAT chunks.
    void WriteRepeatedRows();
    // The zlib header, before the stream's first bytes: its length (0 once written).
    std::size_t StreamHeader();

    std::string m_path;
    int m_fd = -1;
    int m_width = 0;
    int m_height = 0;
    int m_rows = 0;
    bool m_failed = false;
    bool m_finished = false;
    bool m_grey = false;
    // While grey: the rows so far, a row repeating the one above kept once, and where
    // each row starts in them.
    std::vector<unsigned char> m_greyRows;
    std::vector<std::size_t> m_greyRowStarts;
    libdeflate_compressor* m_compressor = nullptr;
    bool m_started = false; // the zlib header is written
    std::uint32_t m_adler = 1; // of the uncompressed rows
    std::vector<unsigned char> m_previous; // the row above, as passed in (ARGB) or grey
    // Rows waiting to be compressed, each its filter byte and then its differences.
    std::vector<unsigned char> m_rowsWaiting;
    std::size_t m_waiting = 0; // bytes of it in use
    std::size_t m_repeated = 0; // rows waiting that repeat the row above
    std::vector<unsigned char> m_out;
};
