// A paint device that draws nothing and hands on every text item a painter writes, at
// its place on the device: what a PDF reader would find, and where.
#pragma once

#include <QPaintDevice>
#include <QPaintEngine>
#include <QTransform>

#include <functional>

namespace editor {

class TextItemDevice : public QPaintDevice {
public:
    using Sink = std::function<void(const QPointF& at, const QTextItem& item)>;
    explicit TextItemDevice(Sink sink);
    ~TextItemDevice() override;

    QPaintEngine* paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(Sink sink);
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState& state) override;
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF& at, const QTextItem& item) override;
        Type type() const override { return QPaintEngine::User; }

    private:
        Sink m_sink;
        QTransform m_transform;
    };

    mutable Engine m_engine;
};

} // namespace editor
