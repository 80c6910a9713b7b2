#include "platform/Layout.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace qiva {

namespace {
double LogicalDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}
}  // namespace

int TwipsToPixels(double twips) { return static_cast<int>(std::lround(twips * LogicalDpi() / 1440.0)); }

double PixelsToTwips(double pixels) { return pixels * 1440.0 / LogicalDpi(); }

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

void PlaceTwips(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(TwipsRect(left, top, width, height));
}

void MoveTwips(QWidget* w, double left, double top) { w->move(TwipsToPixels(left), TwipsToPixels(top)); }

void MakeFixedWindow(QWidget* w, int clientWidthTwips, int clientHeightTwips, const QString& caption) {
    w->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                      Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    w->setFixedSize(TwipsToPixels(clientWidthTwips), TwipsToPixels(clientHeightTwips));
    w->setWindowTitle(caption);
}

QFont SongFont(double points, bool bold) {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("AR PL SungtiL GB"),
                      QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                      QStringLiteral("AR PL UKai CN"), QStringLiteral("Droid Sans Fallback")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace qiva
