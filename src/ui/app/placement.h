// Window placement shared by the main windows: the display size and the centred content panel.
#pragma once

#include <QPointF>
#include <QString>

class QWidget;

namespace tarvino {

// Size of the content panel Picture1 of the main windows, in twips; 15 twips make a pixel.
inline constexpr int kPanelWidthTwips = 15135;
inline constexpr int kPanelHeightTwips = 10215;

// Numbers are read and shown in the system's locale; a system without one (C or POSIX, as a
// fresh installation is) gets Spanish (Chile), the shop's own number format.
void useShopLocale();

// Writes the current display's width and height in pixels, as decimal text.
void ScreenSize(QString& width, QString& height);

// Left and top of the panel in twips for a display of the given size in pixels: centred across,
// at a fifth of the spare height from the top (negative on a display smaller than the panel).
QPointF centredPanelTwips(const QString& width, const QString& height);

// Places picture1 by centredPanelTwips for a display of that size: a panel held by a PanelHost
// is kept inside the window's content space from then on, any other is moved there once.
void CentreContainer(QWidget* picture1, const QString& width, const QString& height);

} // namespace tarvino
