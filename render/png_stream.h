// PNG files written row by row, so a page image never has to exist whole in memory.
//
// 8-bit RGBA (colour type 6), no interlace, every row with the "Up" filter: the paper
// between text lines repeats the row above and becomes zeros, which deflate at its
// fastest level turns into almost nothing. Qt's writer tries every filter on every row
// and needs the whole image; a 300-dpi page costs it several times as long.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

class PngRowWriter {
public:
    // Creates the file, in place of any file at the path (unlinked, not truncated); IsOpen
    // says whether that worked. Write failures are noted (support/write_failure.h).
    PngRowWriter(const std::string& path, int width, int height);
    ~PngRowWriter();
    PngRowWriter(const PngRowWriter&) = delete;
    PngRowWriter& operator=(const PngRowWriter&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // One row of `width` pixels in QImage::Format_ARGB32 (0xAARRGGBB), top row first.
    void WriteRow(const std::uint32_t* argb);
    // Ends the file. False, and no file left behind, when a write failed or rows are missing.
    bool Finish();

private:
    void WriteChunk(const char* type, const unsigned char* data, std::size_t size);
    void Deflate(int flush);

    std::string m_path;
    int m_fd = -1;
    int m_width = 0;
    int m_height = 0;
    int m_rows = 0;
    bool m_failed = false;
    bool m_finished = false;
    z_stream m_zip{};
    bool m_zipOpen = false;
    std::uint32_t m_adler = 1; // of the uncompressed rows
    std::vector<unsigned char> m_previous; // the row above, as it was passed in
    std::vector<unsigned char> m_filtered; // filter byte, then the row's differences
    std::vector<unsigned char> m_out;
};
