#include "tools/tolvard/page_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <limits>
#include <utility>

namespace tolvard {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t Rounded(std::size_t size)
{
    return (size + kHugePage - 1) / kHugePage * kHugePage;
}

struct ImageMemory {
    unsigned char* data;
    std::size_t size;
};

void FreeImageMemory(void* info)
{
    auto* memory = static_cast<ImageMemory*>(info);
    PageBuffer::Release(memory->data, memory->size);
    delete memory;
}

} // namespace

PageBuffer::PageBuffer(std::size_t size)
{
    if (size == 0 || size > std::numeric_limits<std::size_t>::max() - kHugePage)
        return;
    const std::size_t mapped = Rounded(size);
    // One huge page more than needed, so the start can be moved to a huge-page boundary.
    void* region = mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED)
        return;
    auto* base = static_cast<unsigned char*>(region);
    const std::size_t lead = (kHugePage - reinterpret_cast<std::uintptr_t>(base) % kHugePage) % kHugePage;
    if (lead > 0)
        munmap(base, lead);
    munmap(base + lead + mapped, kHugePage - lead);
    m_data = base + lead;
    m_size = mapped;
    // Only a hint: where the kernel keeps no huge pages the memory works as any other.
    madvise(m_data, m_size, MADV_HUGEPAGE);
}

PageBuffer::~PageBuffer()
{
    Release(m_data, m_size);
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{
}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept
{
    if (this != &other) {
        Release(m_data, m_size);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

unsigned char* PageBuffer::Take()
{
    m_size = 0;
    return std::exchange(m_data, nullptr);
}

void PageBuffer::Release(unsigned char* data, std::size_t size)
{
    if (data != nullptr)
        munmap(data, size);
}

QImage NewPageImage(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0)
        return {};
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    PageBuffer buffer(rowBytes * static_cast<std::size_t>(height));
    if (!buffer)
        return {};
    const std::size_t size = buffer.Size();
    auto* memory = new ImageMemory{buffer.Take(), size};
    QImage image(memory->data, width, height, static_cast<qsizetype>(rowBytes), format, FreeImageMemory, memory);
    if (image.isNull())
        FreeImageMemory(memory);
    return image;
}

} // namespace tolvard
