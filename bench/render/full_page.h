// A full A4 page of Korean exam prose, the heaviest page a save renders: varied text, so
// glyphs recur about as often as in a real passage.
#pragma once

#include "document/editor_document.h"
#include "document/hwp_mapping.h"
#include "tools/templates/template_documents.h"

#include <QStringList>
#include <QTextCursor>

#include <memory>

namespace bench_pages {

inline const QStringList& Sentences()
{
    static const QStringList sentences = {
        QStringLiteral("봄이 오면 산과 들에 꽃이 핀다."),
        QStringLiteral("사람들은 겨울 동안 닫아 두었던 창문을 열고, 아이들은 골목으로 뛰어나온다."),
        QStringLiteral("할머니는 장독대를 닦고, 아버지는 밭에 나가 흙을 고른다."),
        QStringLiteral("그러나 봄이 늘 반가운 것만은 아니다. 꽃가루가 날리고 황사가 밀려오면 사람들은 다시 창문을 닫는다."),
        QStringLiteral("과학자들은 기후 변화가 계절의 길이를 바꾸고 있다고 경고한다."),
        QStringLiteral("지난 백 년 동안 한반도의 평균 기온은 1.5도가량 올랐으며, 여름은 길어지고 겨울은 짧아졌다."),
        QStringLiteral("벚꽃이 피는 날짜도 해마다 조금씩 앞당겨져, 4월 초에 열리던 축제가 3월 말로 옮겨 가기도 했다."),
        QStringLiteral("이러한 변화는 농사짓는 사람들에게 특히 큰 영향을 준다. 씨를 뿌리는 때와 거두는 때가 달라지기 때문이다."),
        QStringLiteral("곤충과 새들의 생활도 흔들린다. 꽃이 먼저 피어 버리면 꿀벌은 먹이를 찾지 못하고, 철새는 길을 잃는다."),
        QStringLiteral("우리가 할 수 있는 일은 무엇일까? 에너지를 아껴 쓰고, 나무를 심고, 가까운 거리는 걸어 다니는 것이다."),
        QStringLiteral("작은 실천이 모이면 큰 변화를 만들 수 있다는 믿음이 필요하다."),
    };
    return sentences;
}

// Style 6 of the templates (the passage body), then paragraphs until about one page is full.
inline std::unique_ptr<editor::EditorDocument> FullKoreanPage(int paragraphs = 15)
{
    auto document = editor::ToEditorDocument(templates::MakeStyledDocument(6));
    QTextCursor cursor(&document->Text());
    cursor.movePosition(QTextCursor::End);
    const QStringList& sentences = Sentences();
    int next = 0;
    for (int i = 0; i < paragraphs; ++i) {
        if (i > 0)
            cursor.insertBlock();
        QString paragraph;
        for (int j = 0; j < 4; ++j)
            paragraph += sentences[next++ % sentences.size()] + QLatin1Char(' ');
        cursor.insertText(paragraph);
    }
    return document;
}

} // namespace bench_pages
