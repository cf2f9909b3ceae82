// Window placement shared by the main windows: the display size and the centred content panel.
#include "app/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace tarvino {

void ScreenSize(QString& width, QString& height)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize();
    width = QString::number(size.width());
    height = QString::number(size.height());
}

QPointF centredPanelTwips(const QString& width, const QString& height)
{
    const double widthTwips = width.toDouble() * kTwipsPerPixel;
    const double heightTwips = height.toDouble() * kTwipsPerPixel;
    return {(widthTwips - kPanelWidthTwips) / 2, (heightTwips - kPanelHeightTwips) / 5};
}

void CentreContainer(QWidget* picture1, const QString& width, const QString& height)
{
    const QPointF twips = centredPanelTwips(width, height);
    picture1->move(int(std::lround(twips.x() / kTwipsPerPixel)),
                   int(std::lround(twips.y() / kTwipsPerPixel)));
}

} // namespace tarvino
