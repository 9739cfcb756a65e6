// Pieces compressed one by one with libdeflate and rows of zeros written straight, joined
// into one stream, against zlib's inflate; and streams that are not whole are refused
// untouched.
#include "render/deflate_join.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Inflate(const Bytes& stream, std::size_t expected, int& result)
{
    Bytes out(expected + 1);
    z_stream zip{};
    inflateInit2(&zip, -15);
    zip.next_in = const_cast<unsigned char*>(stream.data());
    zip.avail_in = static_cast<uInt>(stream.size());
    zip.next_out = out.data();
    zip.avail_out = static_cast<uInt>(out.size());
    result = inflate(&zip, Z_FINISH);
    out.resize(zip.total_out);
    inflateEnd(&zip);
    return out;
}

Bytes Compress(libdeflate_compressor* compressor, const Bytes& piece)
{
    Bytes out(libdeflate_deflate_compress_bound(compressor, piece.size()) + 5);
    const std::size_t size = libdeflate_deflate_compress(compressor, piece.data(), piece.size(), out.data(), out.size());
    out.resize(size);
    return out;
}

TEST(DeflateJoin, PiecesJoinedAreOneStreamOfTheWholeAtEveryLevel)
{
    QRandomGenerator random(3);
    // Zeros, noise that is stored, text-like runs, an empty piece and a one-byte one.
    std::vector<Bytes> pieces{Bytes(300000, 0), Bytes(200000), Bytes(500000), Bytes(), Bytes(1, 42), Bytes(70000)};
    for (unsigned char& byte : pieces[1])
        byte = static_cast<unsigned char>(random.generate());
    for (std::size_t i = 0; i < pieces[2].size(); ++i)
        pieces[2][i] = static_cast<unsigned char>(i % 97 < 60 ? 0 : (i * 31) % 251);
    for (std::size_t i = 0; i < pieces[5].size(); ++i)
        pieces[5][i] = static_cast<unsigned char>(random.bounded(4));
    Bytes whole;
    for (const Bytes& piece : pieces)
        whole.insert(whole.end(), piece.begin(), piece.end());
    for (const int level : {1, 2, 6, 12}) {
        SCOPED_TRACE("level " + std::to_string(level));
        libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
        ASSERT_NE(compressor, nullptr);
        Bytes stream;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            Bytes out = Compress(compressor, pieces[i]);
            ASSERT_FALSE(out.empty());
            if (i + 1 < pieces.size()) {
                std::size_t size = out.size();
                out.resize(size + 5, 0xAB);   // whatever the buffer held before
                ASSERT_TRUE(ContinueDeflateStream(out.data(), &size)) << "piece " << i;
                out.resize(size);
            }
            stream.insert(stream.end(), out.begin(), out.end());
        }
        libdeflate_free_compressor(compressor);
        int result = 0;
        const Bytes back = Inflate(stream, whole.size(), result);
        EXPECT_EQ(result, Z_STREAM_END);
        EXPECT_TRUE(back == whole);
    }
}

TEST(DeflateJoin, RowsOfZerosWrittenStraightInflateToTheirBytesBetweenPieces)
{
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(2);
    const Bytes piece{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 9, 8, 7};
    // Zeros per row: the least, around one and two matches of 258, a page's row, longer.
    for (const std::size_t zeros : {3u, 4u, 5u, 258u, 259u, 260u, 261u, 517u, 9920u, 70001u}) {
        for (const unsigned char filter : {0, 1, 2, 4}) {
            SCOPED_TRACE(std::to_string(zeros) + " zeros after filter " + std::to_string(filter));
            const std::size_t rows = 7;
            Bytes stream = Compress(compressor, piece);
            std::size_t size = stream.size();
            stream.resize(size + 5);
            ASSERT_TRUE(ContinueDeflateStream(stream.data(), &size));
            stream.resize(size + ZeroRowsBound(zeros, rows));
            size += DeflateZeroRows(filter, zeros, rows, stream.data() + size);
            stream.resize(size);
            const Bytes last = Compress(compressor, piece);
            stream.insert(stream.end(), last.begin(), last.end());
            Bytes whole = piece;
            for (std::size_t row = 0; row < rows; ++row) {
                whole.push_back(filter);
                whole.insert(whole.end(), zeros, 0);
            }
            whole.insert(whole.end(), piece.begin(), piece.end());
            int result = 0;
            EXPECT_TRUE(Inflate(stream, whole.size(), result) == whole);
            EXPECT_EQ(result, Z_STREAM_END);
        }
    }
    libdeflate_free_compressor(compressor);
}

TEST(DeflateJoin, AStreamCutShortOrDamagedIsRefusedAndLeftAsItWas)
{
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(2);
    Bytes piece(100000);
    for (std::size_t i = 0; i < piece.size(); ++i)
        piece[i] = static_cast<unsigned char>((i * i) % 13);
    const Bytes good = Compress(compressor, piece);
    libdeflate_free_compressor(compressor);
    ASSERT_GT(good.size(), 20u);
    Bytes reservedType = good;
    reservedType[0] |= 6;   // block type 3
    const std::vector<std::pair<const char*, Bytes>> cases{
        {"cut short", Bytes(good.begin(), good.end() - 4)},
        {"nothing", Bytes()},
        {"reserved block type", reservedType},
        {"a stored block whose length check fails", Bytes{0x01, 0x05, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5}},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        Bytes buffer = bytes;
        buffer.resize(bytes.size() + 5, 0xAB);
        std::size_t size = bytes.size();
        EXPECT_FALSE(ContinueDeflateStream(buffer.data(), &size));
        EXPECT_EQ(size, bytes.size());
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));
    }
}

} // namespace
