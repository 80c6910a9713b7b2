#include "app/Startup.h"

#include <QApplication>
#include <QByteArray>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/Demo.h"
#include "app/FirstPaint.h"
#include "app/MainPlay.h"
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

// The project's own drawing, in the sizes a window manager or task bar asks for.
QIcon ProgramIcon() {
    QIcon icon;
    // Up to 64 pixels: every size is decoded when the icon is set, and larger ones cost more than a task bar
    // gains.
    for (int size : {16, 32, 48, 64})
        icon.addFile(QStringLiteral(":/icons/qiva-%1.png").arg(size), QSize(size, size));
    return icon;
}

void SetUpApplicationWithoutIcon(QApplication& app) {
    // The desktop finds the program's name "QIVA歌词秀" and its icon in the desktop entry qiva.desktop, which
    // it matches by the window class (the application name) and the desktop file name. No display name is
    // set: Qt would append it to every caption, and each window carries exactly its own.
    QApplication::setApplicationName(QStringLiteral("qiva"));
    QGuiApplication::setDesktopFileName(QStringLiteral("qiva"));
    LoadChineseTranslations(app);
    app.setFont(SongFont(9));
}
}  // namespace

void ChooseDisplaySettings() {
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", QByteArray("1"));
}

void SetUpApplication(QApplication& app) {
    SetUpApplicationWithoutIcon(app);
    QApplication::setWindowIcon(ProgramIcon());
}

int RunProgram(QApplication& app) {
    SetUpApplicationWithoutIcon(app);

    const QString folder = LyricsFolder();
    InstallFirstRunDemo(folder);

    Main m(folder);
    RealPlayerFactory players;
    QtFileDialogFactory dialogs;
    QtPrompter prompter;
    Navigator nav(m, players, dialogs, prompter);
    nav.ShowPlayer();
    // Decoding the icon's four sizes costs about as much as filling the list, and a window manager takes an
    // icon that comes a moment after the window as well as one that comes with it.
    AfterFirstPaint(nav.player(), [] { QApplication::setWindowIcon(ProgramIcon()); });
    // Installed last, so its report goes first: the measured moment does not include the icon.
    WatchFirstPaint(nav.player());
    return app.exec();
}

}  // namespace qiva
