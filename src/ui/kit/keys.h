// What the keyboard does in the windows: key classes of entry boxes, password boxes, refused keys
// and entries, and buttons pressed with Enter.
#pragma once

#include "kit/key_filter.h"

#include <QString>

#include <functional>

class QAbstractButton;
class QLineEdit;

namespace tarvino {

class Messages;
struct EntryAnswer;

// A button the keyboard reaches with Tab and presses with Space or Enter.
void keyboardButton(QAbstractButton* button);

// What can be typed into an entry box. Every class also takes Backspace and Enter.
enum class KeyClass {
    Code,      // digits: product codes
    Whole,     // digits: whole numbers
    Decimal,   // digits and one decimal mark, typed as "," or "." and shown as the locale's
    Money,     // digits and one locale decimal mark; the other mark groups thousands (see readMoney)
    UserName,  // lower-case letters "a" to "z" and digits: user names and passwords
};

// Whether the character code is typed into a box of the class (Backspace included, Enter not).
bool keyAllowed(KeyClass keys, int keyAscii);

// Installs the class on the box: a validator for what may stand in it and a key filter that
// stops every other key before the box sees it, and says so (see refuseKey). In a decimal box
// either mark is typed as the locale's decimal mark, and only one of them is taken; in a money box
// only the locale's mark is, and the other one, the thousands separator, is refused as unneeded.
// A key that would go past the box's maximum length is refused the same way. Enter runs onEnter (and never
// reaches the box); the returned handler takes further key handling (F1/F2, Esc).
KeyHandler* installKeys(QLineEdit* box, KeyClass keys, std::function<void()> onEnter = {});

// Makes box a password box: each character typed shows as "*".
void hidePassword(QLineEdit* box);

// A key the box does not take: a beep, the box tinted red for a moment and why in a note just under
// it in the window (kRefusalNote), so that no typed key goes missing unnoticed, not even in a
// password box that shows no letters.
void refuseKey(QLineEdit* box, const QString& why);
// The objectName of that note, one per window.
inline constexpr char kRefusalNote[] = "refusalNote";

// An entry refused: the message, then the box emptied and focused.
void refuse(Messages& messages, QLineEdit* box, const QString& text);

// What an entry window's rules answered, told or asked; true when the work goes on (a no to the
// question does nothing).
bool goesOn(Messages& messages, const EntryAnswer& answer);

} // namespace tarvino
