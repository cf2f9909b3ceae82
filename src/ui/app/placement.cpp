// Window placement shared by the main windows: the display size and the centred content panel.
#include "app/placement.h"

#include "kit/window_kit.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace tarvino {

void useShopLocale()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C || system.name() == QLatin1String("C"))
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Chile));
    else
        QLocale::setDefault(system);
}

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
    for (QWidget* up = picture1->parentWidget(); up; up = up->parentWidget()) {
        if (auto* host = dynamic_cast<PanelHost*>(up)) {
            host->setScreenSize(QSize(width.toInt(), height.toInt()));
            return;
        }
    }
    const QPointF twips = centredPanelTwips(width, height);
    picture1->move(int(std::lround(twips.x() / kTwipsPerPixel)),
                   int(std::lround(twips.y() / kTwipsPerPixel)));
}

} // namespace tarvino
