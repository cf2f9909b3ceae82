// Key handling of entry boxes: a key press seen as a character code before the box gets it.
#include "kit/key_filter.h"

#include <QKeyEvent>
#include <QWidget>

namespace tarvino {

int keyAscii(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return -1;
    default:
        break;
    }
    const int key = event->key();
    if ((event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) && key >= Qt::Key_A &&
        key <= Qt::Key_Z)
        return key - Qt::Key_A + 1; // Ctrl+letter types a control character
    const QString text = event->text();
    if (text.isEmpty())
        return -1;
    return text.at(0).unicode();
}

KeyHandler* KeyHandler::install(QWidget* box)
{
    auto* handler = new KeyHandler(box);
    box->installEventFilter(handler);
    // Nothing may reach the box past its key filter, not even by the context menu's paste.
    box->setContextMenuPolicy(Qt::NoContextMenu);
    return handler;
}

bool KeyHandler::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (keyDown)
            keyDown(key->key());
        // Shortcuts such as Ctrl+V type a control character: they are keys like any other here.
        const int ascii = keyAscii(key);
        if (ascii >= 0 && keyPress && keyPress(ascii))
            return true;
    } else if (event->type() == QEvent::KeyRelease) {
        if (keyUp)
            keyUp(static_cast<QKeyEvent*>(event)->key());
    } else if (event->type() == QEvent::ShortcutOverride) {
        // Let the box see Ctrl+V and the like as key presses so that the filter decides on them.
        return false;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tarvino
