// Memory for whole page images. A page is 35 MB or more, and in fresh small pages the
// kernel's faults cost more than decoding it; whole huge pages fault a few dozen times.
#pragma once

#include <QImage>

#include <cstddef>

namespace tolvard {

class PageBuffer {
public:
    PageBuffer() = default;
    explicit PageBuffer(std::size_t size);
    ~PageBuffer();
    PageBuffer(PageBuffer&& other) noexcept;
    PageBuffer& operator=(PageBuffer&& other) noexcept;
    PageBuffer(const PageBuffer&) = delete;
    PageBuffer& operator=(const PageBuffer&) = delete;

    // Null when the memory could not be had.
    unsigned char* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }
    // Gives up the memory; the caller unmaps it with Release().
    unsigned char* Take();
    static void Release(unsigned char* data, std::size_t size);

private:
    unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
};

// An image of 32-bit pixels (RGBA8888, ARGB32, ...) whose pixels live in a PageBuffer;
// a null image when the memory could not be had. Rows are packed (width * 4 bytes).
QImage NewPageImage(int width, int height, QImage::Format format);

} // namespace tolvard
