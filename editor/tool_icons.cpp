#include "editor/tool_icons.h"

#include <QGridLayout>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>
#include <QWidgetAction>

namespace editor {

namespace {

const QColor kInk(0x33, 0x33, 0x33);

void DrawGlyph(QPainter& p, const QRectF& box, const QString& text, int pixelSize, bool bold = false, bool italic = false,
               bool underline = false)
{
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    p.setFont(font);
    p.setPen(kInk);
    p.drawText(box, Qt::AlignCenter, text);
}

void DrawLines(QPainter& p, int size, Qt::Alignment alignment)
{
    p.setPen(QPen(kInk, size / 10.0 + 0.5));
    const double margin = size * 0.15;
    for (int i = 0; i < 4; ++i) {
        const double y = size * (0.22 + i * 0.19);
        const double full = size - 2 * margin;
        const double length = (alignment == Qt::AlignJustify || i % 2 == 0) ? full : full * 0.62;
        double x = margin;
        if (alignment == Qt::AlignHCenter)
            x = margin + (full - length) / 2;
        else if (alignment == Qt::AlignRight)
            x = margin + full - length;
        p.drawLine(QPointF(x, y), QPointF(x + length, y));
    }
}

QPixmap Draw(ToolPicture picture, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, size, size);
    const int glyph = static_cast<int>(size * 0.8);
    switch (picture) {
    case ToolPicture::Undo: DrawGlyph(p, box, QStringLiteral("↶"), glyph, true); break;
    case ToolPicture::Redo: DrawGlyph(p, box, QStringLiteral("↷"), glyph, true); break;
    case ToolPicture::Cut: DrawGlyph(p, box, QStringLiteral("✂"), glyph); break;
    case ToolPicture::Copy:
    case ToolPicture::Paste: {
        p.setPen(QPen(kInk, 1));
        p.setBrush(Qt::white);
        const double s = size;
        if (picture == ToolPicture::Copy) {
            p.drawRect(QRectF(s * 0.12, s * 0.12, s * 0.5, s * 0.6));
            p.drawRect(QRectF(s * 0.38, s * 0.3, s * 0.5, s * 0.6));
        } else {
            p.setBrush(QColor(0xc8, 0xa0, 0x60));
            p.drawRect(QRectF(s * 0.15, s * 0.15, s * 0.6, s * 0.75));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(s * 0.4, s * 0.4, s * 0.48, s * 0.52));
        }
        break;
    }
    case ToolPicture::Bold: DrawGlyph(p, box, QStringLiteral("가"), glyph, true); break;
    case ToolPicture::Italic: DrawGlyph(p, box, QStringLiteral("가"), glyph, false, true); break;
    case ToolPicture::Underline: DrawGlyph(p, box, QStringLiteral("가"), glyph, false, false, true); break;
    case ToolPicture::Superscript:
        DrawGlyph(p, QRectF(0, size * 0.1, size * 0.65, size * 0.9), QStringLiteral("x"), glyph);
        DrawGlyph(p, QRectF(size * 0.5, 0, size * 0.5, size * 0.5), QStringLiteral("2"), size / 2);
        break;
    case ToolPicture::Subscript:
        DrawGlyph(p, QRectF(0, 0, size * 0.65, size * 0.85), QStringLiteral("x"), glyph);
        DrawGlyph(p, QRectF(size * 0.5, size * 0.5, size * 0.5, size * 0.5), QStringLiteral("2"), size / 2);
        break;
    case ToolPicture::AlignLeft: DrawLines(p, size, Qt::AlignLeft); break;
    case ToolPicture::AlignCenter: DrawLines(p, size, Qt::AlignHCenter); break;
    case ToolPicture::AlignRight: DrawLines(p, size, Qt::AlignRight); break;
    case ToolPicture::AlignJustify: DrawLines(p, size, Qt::AlignJustify); break;
    case ToolPicture::Special: DrawGlyph(p, box, QStringLiteral("※"), glyph); break;
    case ToolPicture::AnswerMark: DrawGlyph(p, box, QStringLiteral("①"), glyph); break;
    case ToolPicture::Menu: DrawGlyph(p, box, QStringLiteral("≡"), glyph, true); break;
    case ToolPicture::Table: {
        p.setPen(QPen(kInk, 1));
        const double m = size * 0.12, w = size - 2 * m;
        p.drawRect(QRectF(m, m, w, w));
        for (int i = 1; i < 3; ++i) {
            p.drawLine(QPointF(m + w * i / 3, m), QPointF(m + w * i / 3, m + w));
            p.drawLine(QPointF(m, m + w * i / 3), QPointF(m + w, m + w * i / 3));
        }
        break;
    }
    case ToolPicture::Box:
        p.setPen(QPen(kInk, 1.2));
        p.drawRoundedRect(QRectF(size * 0.12, size * 0.2, size * 0.76, size * 0.6), 2, 2);
        DrawGlyph(p, QRectF(size * 0.12, size * 0.2, size * 0.76, size * 0.6), QStringLiteral("가"), size / 2);
        break;
    case ToolPicture::Picture: {
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(0xdd, 0xee, 0xff));
        p.drawRect(QRectF(size * 0.1, size * 0.18, size * 0.8, size * 0.64));
        QPainterPath hill;
        hill.moveTo(size * 0.14, size * 0.78);
        hill.lineTo(size * 0.42, size * 0.45);
        hill.lineTo(size * 0.6, size * 0.65);
        hill.lineTo(size * 0.7, size * 0.55);
        hill.lineTo(size * 0.86, size * 0.78);
        p.setBrush(QColor(0x4a, 0x90, 0x50));
        p.drawPath(hill);
        break;
    }
    case ToolPicture::Equation: {
        // A root sign over x: the equation's own picture.
        p.setPen(QPen(kInk, size / 12.0 + 0.6));
        p.drawPolyline(QPolygonF({QPointF(size * 0.08, size * 0.6), QPointF(size * 0.22, size * 0.55),
                                  QPointF(size * 0.35, size * 0.88), QPointF(size * 0.5, size * 0.14),
                                  QPointF(size * 0.94, size * 0.14)}));
        DrawGlyph(p, QRectF(size * 0.45, size * 0.22, size * 0.5, size * 0.7), QStringLiteral("x"), size * 2 / 3, false, true);
        break;
    }
    }
    return pixmap;
}

} // namespace

QIcon ToolIcon(const char* themeName, ToolPicture fallback)
{
    QIcon own;
    for (int size : {16, 22, 32})
        own.addPixmap(Draw(fallback, size));
    if (themeName == nullptr || *themeName == '\0')
        return own;
    return QIcon::fromTheme(QString::fromLatin1(themeName), own);
}

QIcon ColorToolIcon(const QColor& color, bool highlight)
{
    QIcon icon;
    for (int size : {16, 22, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        if (highlight) {
            p.fillRect(QRectF(0, size * 0.1, size, size * 0.8), color);
            DrawGlyph(p, QRectF(0, 0, size, size), QStringLiteral("가"), size * 3 / 4);
        } else {
            DrawGlyph(p, QRectF(0, 0, size, size * 0.8), QStringLiteral("가"), size * 2 / 3);
            p.fillRect(QRectF(size * 0.1, size * 0.8, size * 0.8, size * 0.2), color);
        }
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

namespace {

QWidget* AddGrid(QMenu& menu, int count, int columns, const std::function<QToolButton*(QWidget*, int)>& make)
{
    auto* grid = new QWidget(&menu);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(1);
    for (int i = 0; i < count; ++i)
        layout->addWidget(make(grid, i), i / columns, i % columns);
    auto* action = new QWidgetAction(&menu);
    action->setDefaultWidget(grid);
    menu.addAction(action);
    return grid;
}

} // namespace

QWidget* AddTextGrid(QMenu& menu, const QStringList& items, int columns, std::function<void(const QString&)> chosen)
{
    return AddGrid(menu, static_cast<int>(items.size()), columns, [&](QWidget* parent, int i) {
        auto* button = new QToolButton(parent);
        button->setText(items[i]);
        button->setAutoRaise(true);
        button->setFixedSize(26, 26);
        QObject::connect(button, &QToolButton::clicked, &menu, [&menu, chosen, text = items[i]] {
            menu.close();
            chosen(text);
        });
        return button;
    });
}

QWidget* AddColorGrid(QMenu& menu, const QList<QColor>& colors, int columns, std::function<void(const QColor&)> chosen)
{
    return AddGrid(menu, static_cast<int>(colors.size()), columns, [&](QWidget* parent, int i) {
        auto* button = new QToolButton(parent);
        QPixmap swatch(16, 16);
        swatch.fill(colors[i]);
        button->setIcon(QIcon(swatch));
        button->setAutoRaise(true);
        button->setFixedSize(22, 22);
        button->setToolTip(colors[i].name());
        QObject::connect(button, &QToolButton::clicked, &menu, [&menu, chosen, color = colors[i]] {
            menu.close();
            chosen(color);
        });
        return button;
    });
}

} // namespace editor
