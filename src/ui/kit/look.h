// The look of the windows: twips geometry, control names and placement, fonts, colours and banners.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace tarvino {

inline constexpr int kTwipsPerPixel = 15;

// Pixels for a length given in twips.
constexpr int px(int twips)
{
    return twips / kTwipsPerPixel;
}

// Gives a widget its control name, as member and objectName.
template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void setTwipsGeometry(QWidget* widget, int left, int top, int width, int height);

// Names a widget and places it by its left, top, width and height in twips.
template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height)
{
    setTwipsGeometry(named(widget, name), left, top, width, height);
    return widget;
}

// The Arial face of the windows (Liberation Sans where Arial itself is not installed).
QFont arial(double points, bool bold = false);
// The narrow face of the window banners (Liberation Sans Narrow where Arial Narrow is missing).
QFont arialNarrow(double points, bool bold = false);

void setTextColour(QWidget* widget, const QColor& colour);
// A filled background behind a label, frame or box.
void setBackColour(QWidget* widget, const QColor& colour);
// A coloured button that stays readable when disabled and shows where the keyboard focus is.
void setButtonColours(QPushButton* button, const QColor& back, const QColor& text = Qt::black);

// A window's banner: white text centred on black across the top of parent, width by height twips.
QLabel* banner(QWidget* parent, const char* name, const QString& text, int widthTwips, int heightTwips,
               const QFont& font);

} // namespace tarvino
