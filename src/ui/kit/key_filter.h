// Key handling of entry boxes: a key press seen as a character code before the box gets it.
#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

namespace tarvino {

// The character code of a key press: 8 backspace, 13 Enter, 27 Esc, otherwise the code of the
// typed character; -1 for keys that type nothing (arrows, function keys, Tab, Delete).
int keyAscii(const QKeyEvent* event);

// Watches one box: keyDown sees every key press first (by Qt key code); keyPress then sees the
// character code and returns true to drop the key before the box sees it; keyUp sees releases.
class KeyHandler final : public QObject {
public:
    std::function<void(int qtKey)> keyDown;
    std::function<bool(int keyAscii)> keyPress;
    std::function<void(int qtKey)> keyUp;

    static KeyHandler* install(QWidget* box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

} // namespace tarvino
