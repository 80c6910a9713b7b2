#pragma once
// Window geometry in twips (1440 to the inch at the screen's logical DPI; 15 to a pixel at 96 DPI) and the
// Song-style Chinese font every window asks for.

#include <QFont>
#include <QRect>
#include <QString>

class QWidget;

namespace qiva {

int TwipsToPixels(double twips);
double PixelsToTwips(double pixels);
QRect TwipsRect(int left, int top, int width, int height);
// Places a control at a twips rectangle of its parent.
void PlaceTwips(QWidget* w, int left, int top, int width, int height);
// Moves a control's top-left corner to a twips position, keeping its size.
void MoveTwips(QWidget* w, double left, double top);
// Fixed-size window with a close box and no minimise or maximise button, client area in twips.
void MakeFixedWindow(QWidget* w, int clientWidthTwips, int clientHeightTwips, const QString& caption);
// "宋体" at the given point size, falling back to an installed Song/Ming-style CJK serif.
QFont SongFont(double points, bool bold = false);

}  // namespace qiva
