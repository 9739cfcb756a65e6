// A full A4 question page of objects: a ruled data table, a "<보기>" box, two pictures and
// equations in the prose and the options, built with the pane's own commands so the
// tables, pictures and equations are what a teacher's question holds.
#pragma once

#include "editor/equation_tools.h"
#include "editor/hwpctrl.h"
#include "editor/picture_tools.h"
#include "editor/table_tools.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QStringList>

#include <algorithm>
#include <cstdint>

namespace bench_pages {

// A photograph-like JPEG: gradients, shapes and noise, so it compresses like a real one.
inline QByteArray PhotoBytes(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(90 + seed * 40, 150, 220));
    sky.setColorAt(1, QColor(240, 220 - seed * 30, 170));
    painter.fillRect(image.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 12; ++i) {
        QRadialGradient blob(QPointF((i * 137 + seed * 59) % width, (i * 89 + seed * 31) % height), width / 6.0);
        blob.setColorAt(0, QColor::fromHsv((i * 40 + seed * 90) % 360, 160, 200, 200));
        blob.setColorAt(1, QColor(0, 0, 0, 0));
        painter.setBrush(blob);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(blob.center(), width / 6.0, width / 6.0);
    }
    painter.end();
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(seed);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int d = static_cast<int>(noise >> 28) - 8;
            row[x] = qRgb(std::clamp(qRed(row[x]) + d, 0, 255), std::clamp(qGreen(row[x]) + d, 0, 255),
                          std::clamp(qBlue(row[x]) + d, 0, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

inline void Type(editor::CHwpctrl& pane, const QString& text)
{
    pane.InsertPlainText(text);
}

inline void Equation(editor::CHwpctrl& pane, const char16_t* script)
{
    editor::InsertEquation(pane, QString::fromUtf16(script));
}

// Fills `pane` (holding an empty styled document) with the page.
inline bool FillObjectsPage(editor::CHwpctrl& pane)
{
    pane.RunAction(u"MoveDocEnd");
    Type(pane, QStringLiteral("다음은 어느 학급 학생들이 세 가지 물질의 질량과 부피를 측정하여 정리한 표이다. "
                              "측정은 같은 온도와 압력에서 이루어졌으며, 각 물질은 세 번씩 측정하여 평균을 구하였다. "
                              "표와 그림을 보고 물음에 답하시오.\n"));
    QTextTable* table = editor::InsertNewTable(pane, 5, 4);
    if (table == nullptr)
        return false;
    const QStringList cells = {
        QStringLiteral("물질"), QStringLiteral("질량(g)"), QStringLiteral("부피(mL)"), QStringLiteral("밀도(g/mL)"),
        QStringLiteral("A"),    QStringLiteral("27.0"),    QStringLiteral("10.0"),     QStringLiteral("2.70"),
        QStringLiteral("B"),    QStringLiteral("79.0"),    QStringLiteral("10.0"),     QStringLiteral("7.90"),
        QStringLiteral("C"),    QStringLiteral("19.3"),    QStringLiteral("1.0"),      QStringLiteral("19.3"),
        QStringLiteral("평균"), QStringLiteral("41.8"),    QStringLiteral("7.0"),      QStringLiteral("9.97"),
    };
    for (int i = 0; i < cells.size(); ++i) {
        Type(pane, cells[i]);
        if (i + 1 < cells.size())
            editor::MoveToNextCell(pane);
    }
    pane.RunAction(u"MoveDocEnd");
    Type(pane, QStringLiteral("\n밀도는 질량을 부피로 나눈 값으로, "));
    Equation(pane, u"rho = m over V");
    Type(pane, QStringLiteral(" 와 같이 나타낸다. 물질 A의 밀도는 "));
    Equation(pane, u"{27.0} over {10.0} = 2.70");
    Type(pane, QStringLiteral(" 이고, 두 물질을 섞은 혼합물의 밀도는 "));
    Equation(pane, u"{m_1 + m_2} over {V_1 + V_2}");
    Type(pane, QStringLiteral(" 로 구한다. 아래 그림은 두 물질의 시료를 같은 배율로 찍은 사진이다.\n"));
    QString error;
    if (!editor::InsertPictureBytes(pane, PhotoBytes(1200, 800, 0), error, 480))
        return false;
    Type(pane, QStringLiteral("  "));
    if (!editor::InsertPictureBytes(pane, PhotoBytes(1200, 800, 1), error, 480))
        return false;
    Type(pane, QStringLiteral("\n[그림 1] 물질 A(왼쪽)와 물질 B(오른쪽)의 시료\n"
                              "이에 대한 설명으로 옳은 것만을 <보기>에서 있는 대로 고른 것은?\n"));
    if (editor::InsertBoxTable(pane) == nullptr)
        return false;
    Type(pane, QStringLiteral("ㄱ. 같은 부피일 때 질량은 C가 A의 7배보다 크다.\n"
                              "ㄴ. A와 B를 같은 질량씩 섞은 혼합물의 밀도는 두 밀도의 평균인 5.30보다 작다.\n"
                              "ㄷ. 물에 넣으면 세 물질 모두 가라앉으며, 부피가 클수록 더 빨리 가라앉는다."));
    pane.RunAction(u"MoveDocEnd");
    Type(pane, QStringLiteral("\n① ㄱ    ② ㄴ    ③ ㄱ, ㄴ    ④ ㄴ, ㄷ    ⑤ ㄱ, ㄴ, ㄷ\n"
                              "풀이: 혼합물의 밀도는 "));
    Equation(pane, u"{2m} over {m over {rho_A} + m over {rho_B}} = {2 rho_A rho_B} over {rho_A + rho_B}");
    Type(pane, QStringLiteral(" 이므로 조화 평균이 되고, 조화 평균은 산술 평균보다 작다. 따라서 "));
    Equation(pane, u"{2 TIMES 2.70 TIMES 7.90} over {10.60} APPROX 4.02");
    Type(pane, QStringLiteral(" 이다. 가라앉는 빠르기는 부피가 아니라 밀도와 모양에 따라 달라지므로 ㄷ은 옳지 않다. "
                              "물체가 물에 뜨는지 가라앉는지는 물체의 밀도와 물의 밀도를 비교하여 판단하며, "
                              "물의 밀도는 약 "));
    Equation(pane, u"1.0 g/mL");
    Type(pane, QStringLiteral(" 이다. 세 물질의 밀도가 모두 이보다 크므로 세 물질은 모두 가라앉는다. "
                              "같은 부피에서 질량을 비교하면 C는 19.3, A는 2.70이므로 C의 질량은 A의 7배보다 크다."));
    return true;
}

} // namespace bench_pages
