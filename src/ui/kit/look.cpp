// The look of the windows: twips geometry, control names and placement, fonts, colours and banners.
#include "kit/look.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace tarvino {

void setTwipsGeometry(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

QFont arial(double points, bool bold)
{
    QFont font;
    // Liberation Sans has Arial's metrics, so captions laid out for Arial fit the same way.
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont arialNarrow(double points, bool bold)
{
    QFont font = arial(points, bold);
    font.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow")});
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void setBackColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setButtonColours(QPushButton* button, const QColor& back, const QColor& text)
{
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2; "
                                         "border: 1px solid gray; border-radius: 3px; }"
                                         "QPushButton:disabled { color: gray; }"
                                         "QPushButton:focus { border: 3px solid black; }"
                                         "QPushButton:pressed { border-style: inset; }")
                              .arg(back.name(), text.name()));
}

QLabel* banner(QWidget* parent, const char* name, const QString& text, int widthTwips, int heightTwips,
               const QFont& font)
{
    auto* label = place(new QLabel(text, parent), name, 0, 0, widthTwips, heightTwips);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(font);
    setBackColour(label, Qt::black);
    setTextColour(label, Qt::white);
    return label;
}

} // namespace tarvino
