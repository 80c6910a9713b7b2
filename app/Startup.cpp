#include "app/Startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/Demo.h"
#include "app/Navigator.h"
#include "platform/Layout.h"
#include "platform/RealServices.h"

namespace qiva {

namespace {
void LoadChineseTranslations(QApplication& app) {
    // Qt's own buttons (是, 否, 确定, 取消) and the file dialog speak Chinese like the rest of the program.
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* name : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto* t = new QTranslator(&app);
        if (t->load(QString::fromLatin1(name), dir))
            app.installTranslator(t);
        else
            delete t;
    }
}
}  // namespace

int RunProgram(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("qiva"));
    QApplication::setApplicationDisplayName(QStringLiteral("QIVA歌词秀"));
    LoadChineseTranslations(app);
    app.setFont(SongFont(9));

    const QString folder = LyricsFolder();
    InstallFirstRunDemo(folder);

    Main m(folder);
    RealPlayerFactory players;
    QtFileDialogFactory dialogs;
    QtPrompter prompter;
    Navigator nav(m, players, dialogs, prompter);
    nav.ShowPlayer();
    return app.exec();
}

}  // namespace qiva
