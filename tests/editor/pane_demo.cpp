// pane_demo TEMPLATE [BMP DPI]: shows one editor pane with Korean text, as the dialog sets
// it up, to look at under a display; with BMP it also writes page 0 at DPI and ends.
// pane_demo --as-is DOCUMENT [BMP DPI]: the same for a document as it is, nothing typed.
#include "editor/hwpctrl.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const bool asIs = argc >= 3 && QLatin1String(argv[1]) == QLatin1String("--as-is");
    if (asIs) {
        --argc;
        ++argv;
    }
    if (argc < 2)
        return 2;
    editor::CHwpctrl pane;
    pane.resize(900, 700);
    for (const char16_t* bar : {u"TOOLBAR_MENU", u"TOOLBAR_STANDARD", u"TOOLBAR_DRAW"})
        pane.SetToolBar(-1, bar);
    pane.ShowToolBar(1);
    auto view = pane.CreateParameterSet(u"ViewProperties");
    view->SetItem(u"ZoomType", 0);
    view->SetItem(u"ZoomRatio", 120);
    pane.ViewProperties(*view);
    pane.OpenDocument(QString::fromLocal8Bit(argv[1]).toStdU16String(), u"HWP");
    if (asIs) {
        if (argc >= 4)
            return pane.RenderPageImage(QString::fromLocal8Bit(argv[2]).toStdU16String(), 0,
                                        QString::fromLocal8Bit(argv[3]).toInt(), 24, u"bmp")
                       ? 0
                       : 1;
        pane.show();
        return application.exec();
    }

    auto insert = pane.CreateAction(u"InsertText");
    auto set = insert->CreateActionSet();
    set->SetItem(u"Text", u"다음 글을 읽고 물음에 답하시오.\r\n"
                          u"봄이 오면 산과 들에 꽃이 핀다. 진달래와 개나리가 먼저 피고, 벚꽃이 뒤를 잇는다. "
                          u"사람들은 꽃구경을 하러 가까운 공원이나 먼 산으로 나들이를 떠난다.\r\n"
                          u"① 봄에는 꽃이 핀다.\r\n② 여름에는 비가 많이 온다.\r\n③ 가을에는 단풍이 든다.");
    insert->Execute(*set);
    pane.RunAction(u"MoveDocBegin");
    pane.RunAction(u"MoveSelDocEnd");
    pane.RunAction(u"StyleShortcut6");
    QTextCursor first(&pane.Document().Text());
    first.select(QTextCursor::BlockUnderCursor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    first.mergeCharFormat(bold);
    for (int block = 2; block < 5; ++block) {
        QTextCursor option(pane.Document().Text().findBlockByNumber(block));
        pane.TextView()->setTextCursor(option);
        pane.RunAction(u"StyleShortcut8");
    }
    pane.RunAction(u"MoveDocEnd");

    if (argc >= 4) {
        const bool ok = pane.RenderPageImage(QString::fromLocal8Bit(argv[2]).toStdU16String(), 0,
                                             QString::fromLocal8Bit(argv[3]).toInt(), 24, u"bmp");
        return ok ? 0 : 1;
    }
    pane.show();
    return application.exec();
}
