// What the window tests alone need of the shared support: the window a test opened.
#include "support/test_support.h"

#include <QApplication>
#include <QWidget>

namespace tarvino::test {

QWidget* visibleTopLevel(const QMetaObject& type)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && type.cast(window))
            return window;
    }
    return nullptr;
}

} // namespace tarvino::test
