// Window placement shared by the main windows: the display size and the centred content panel.
#pragma once

#include <QPointF>
#include <QString>

class QWidget;

namespace tarvino {

// Size of the content panel Picture1 of the main windows, in twips; 15 twips make a pixel.
inline constexpr int kPanelWidthTwips = 15135;
inline constexpr int kPanelHeightTwips = 10215;
inline constexpr int kTwipsPerPixel = 15;

// Pixels for a length given in twips.
constexpr int px(int twips)
{
    return twips / kTwipsPerPixel;
}

// Writes the current display's width and height in pixels, as decimal text.
void ScreenSize(QString& width, QString& height);

// Left and top of the panel in twips for a display of the given size in pixels: centred across,
// at a fifth of the spare height from the top (negative on a display smaller than the panel).
QPointF centredPanelTwips(const QString& width, const QString& height);

// Moves picture1 to the place centredPanelTwips gives.
void CentreContainer(QWidget* picture1, const QString& width, const QString& height);

} // namespace tarvino
