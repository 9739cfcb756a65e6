#include "page/text_items.h"

#include <utility>

namespace editor {

TextItemDevice::Engine::Engine(Sink sink) : QPaintEngine(QPaintEngine::AllFeatures), m_sink(std::move(sink)) {}

void TextItemDevice::Engine::updateState(const QPaintEngineState& state)
{
    if (state.state() & QPaintEngine::DirtyTransform)
        m_transform = state.transform();
}

void TextItemDevice::Engine::drawTextItem(const QPointF& at, const QTextItem& item)
{
    m_sink(m_transform.map(at), item);
}

TextItemDevice::TextItemDevice(Sink sink) : m_engine(std::move(sink)) {}

TextItemDevice::~TextItemDevice() = default;

QPaintEngine* TextItemDevice::paintEngine() const
{
    return &m_engine;
}

int TextItemDevice::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
    case PdmHeight:
        return 1 << 24;   // room for any document laid out on it
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 96;
    case PdmDepth:
        return 32;
    case PdmDevicePixelRatioScaled:
        return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
    default:
        return 1;
    }
}

} // namespace editor
