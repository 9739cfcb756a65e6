#include "app/varnel_app.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/varnel_dlg.h"

namespace {

// The words Qt's Korean translations leave in English: the file chooser's "Folder" and
// the like, whose context Qt renamed after the translations were made.
class MissingQtWords : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/, int /*n*/) const override
    {
        static const std::pair<const char*, const char16_t*> kFileWords[] = {
            {"Folder", u"폴더"}, {"File Folder", u"폴더"}, {"File", u"파일"}, {"Drive", u"드라이브"}, {"%1 File", u"%1 파일"},
        };
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        for (const auto& [english, korean] : kFileWords) {
            if (qstrcmp(sourceText, english) == 0)
                return QString::fromUtf16(korean);
        }
        return {};
    }
};

} // namespace

void InstallKoreanTexts()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    const QLocale korean(QLocale::Korean, QLocale::SouthKorea);
    // File types are named from the system's type list in the default locale's language.
    QLocale::setDefault(korean);
    auto* qtKorean = new QTranslator(QCoreApplication::instance());
    if (qtKorean->load(korean, QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtKorean);
    QCoreApplication::installTranslator(new MissingQtWords(QCoreApplication::instance()));
}

CVarnelApp::CVarnelApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Varnel"));
    setOrganizationName(QStringLiteral("korvane"));
    // The installed desktop entry: docks and Wayland compositors match windows to it.
    setDesktopFileName(QStringLiteral("com.korvane.Varnel"));
    InstallKoreanTexts();
}

bool CVarnelApp::InitInstance()
{
    CVarnelDlg dialog;
    dialog.OnInitDialog();
    dialog.exec();
    return false;
}

int CVarnelApp::ExitInstance() { return 0; }
