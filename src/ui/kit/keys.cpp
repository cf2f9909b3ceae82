// What the keyboard does in the windows: key classes of entry boxes, password boxes, refused keys
// and entries, and buttons pressed with Enter.
#include "kit/keys.h"

#include "kit/look.h"
#include "common/entry_answer.h"
#include "common/services.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QGraphicsColorizeEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>

#include <algorithm>

namespace tarvino {

namespace {
// Presses a button on Enter, as Space does.
class EnterPresses final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                static_cast<QAbstractButton*>(watched)->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void keyboardButton(QAbstractButton* button)
{
    button->setFocusPolicy(Qt::StrongFocus);
    if (auto* push = qobject_cast<QPushButton*>(button))
        push->setAutoDefault(false); // Enter is handled below, the same in windows and dialogs
    button->installEventFilter(new EnterPresses(button));
}

bool keyAllowed(KeyClass keys, int keyAscii)
{
    if (keyAscii == 8 || (keyAscii >= '0' && keyAscii <= '9'))
        return true;
    switch (keys) {
    case KeyClass::Code:
    case KeyClass::Whole:
        return false;
    case KeyClass::Decimal:
    case KeyClass::Money:
        return keyAscii == ',' || keyAscii == '.';
    case KeyClass::UserName:
        return keyAscii >= 'a' && keyAscii <= 'z';
    }
    return false;
}

namespace {
// How long a refused key keeps its box tinted.
constexpr int kRefusalTintMs = 700;
// How long the reason stays beside the box.
constexpr int kRefusalNoteMs = 4000;

QString allowedPattern(KeyClass keys)
{
    switch (keys) {
    case KeyClass::Code:
    case KeyClass::Whole:
        return QStringLiteral("[0-9]*");
    case KeyClass::Decimal:
    case KeyClass::Money:
        return QStringLiteral("[0-9]*%1?[0-9]*").arg(QRegularExpression::escape(QLocale().decimalPoint()));
    case KeyClass::UserName:
        return QStringLiteral("[a-z0-9]*");
    }
    return {};
}

QString keysTaken(KeyClass keys)
{
    switch (keys) {
    case KeyClass::Code:
    case KeyClass::Whole:
        return QStringLiteral("Aquí solo se escriben dígitos.");
    case KeyClass::Decimal:
        return QStringLiteral("Aquí solo se escriben dígitos y un separador decimal (coma o punto).");
    case KeyClass::Money:
        return QStringLiteral("Aquí solo se escriben dígitos y un separador decimal (%1).")
            .arg(QLocale().decimalPoint() == QLatin1String(",") ? QStringLiteral("la coma")
                                                                 : QStringLiteral("el punto"));
    case KeyClass::UserName:
        return QStringLiteral("Aquí solo se escriben letras minúsculas (de la a a la z) y dígitos.");
    }
    return {};
}

// The box's text with typed put where the cursor is, in place of any selected text: what the box
// would hold after the key.
QString textAfterTyping(const QLineEdit* box, const QString& typed)
{
    QString text = box->text();
    int at = box->cursorPosition();
    if (box->hasSelectedText()) {
        at = box->selectionStart();
        text.remove(at, box->selectedText().size());
    }
    return text.insert(at, typed);
}

// Decides on one printable key for a box of the class: true when the filter has dealt with it
// (refused it, or typed it itself), false when the box may take it as it is.
bool filterTypedKey(QLineEdit* box, KeyClass keys, int keyAscii)
{
    if (!keyAllowed(keys, keyAscii)) {
        refuseKey(box, keysTaken(keys));
        return true;
    }
    const QString key = QChar(char16_t(keyAscii));
    QString typed = key;
    if (keys == KeyClass::Money && (keyAscii == ',' || keyAscii == '.') &&
        key != QLocale().decimalPoint()) {
        // An amount is read without its thousands separators, so the box never holds one: the
        // cashier sees the amount as it will be read ("10.000" stands as 10000).
        refuseKey(box,
                  QStringLiteral("Escriba el monto sin separador de miles: 10000, no 10") + key +
                      QStringLiteral("000."));
        return true;
    }
    const bool decimalMark =
        (keys == KeyClass::Decimal || keys == KeyClass::Money) && (keyAscii == ',' || keyAscii == '.');
    if (decimalMark) {
        // Either mark means the decimal mark, so that a cashier used to the other one is understood
        // and the box shows what will be read.
        typed = QLocale().decimalPoint();
        if (textAfterTyping(box, {}).contains(typed)) {
            refuseKey(box, QStringLiteral("Ya hay un separador decimal: solo se admite uno."));
            return true;
        }
    }
    const QString after = textAfterTyping(box, typed);
    if (after.size() > box->maxLength()) {
        refuseKey(box, QStringLiteral("Aquí caben a lo sumo %1 caracteres.").arg(box->maxLength()));
        return true;
    }
    if (const QValidator* validator = box->validator()) {
        QString checked = after;
        int position = 0;
        if (validator->validate(checked, position) == QValidator::Invalid) {
            refuseKey(box, keysTaken(keys));
            return true;
        }
    }
    if (typed != key) {
        box->insert(typed);
        return true;
    }
    return false;
}
} // namespace

KeyHandler* installKeys(QLineEdit* box, KeyClass keys, std::function<void()> onEnter)
{
    // The validator keeps out what the key filter never sees (text set by drag and drop).
    box->setValidator(new QRegularExpressionValidator(QRegularExpression(allowedPattern(keys)), box));
    KeyHandler* handler = KeyHandler::install(box);
    handler->keyPress = [box, keys, onEnter = std::move(onEnter)](int keyAscii) {
        if (keyAscii == 13) {
            if (onEnter)
                onEnter();
            return true;
        }
        // Esc types nothing: it goes on to the window, where it closes a dialog.
        if (keyAscii == 27 || keyAscii == 8)
            return false;
        return filterTypedKey(box, keys, keyAscii);
    };
    return handler;
}

namespace {
// Shows each character of a password as "*".
class StarPasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

void hidePassword(QLineEdit* box)
{
    box->setEchoMode(QLineEdit::Password);
    auto* style = new StarPasswordStyle;
    style->setParent(box);
    box->setStyle(style);
}

void refuseKey(QLineEdit* box, const QString& why)
{
    QApplication::beep();
    auto* tint = new QGraphicsColorizeEffect;
    tint->setColor(QColor(255, 0, 0));
    box->setGraphicsEffect(tint); // in place of (and deleting) a tint still showing
    const QPointer<QGraphicsEffect> shown(tint);
    QTimer::singleShot(kRefusalTintMs, box, [box, shown] {
        if (shown && box->graphicsEffect() == shown)
            box->setGraphicsEffect(nullptr);
    });
    // A note in the window itself rather than a tooltip: it shows on every platform, whatever the
    // mouse does, and screen readers are told of it.
    QWidget* window = box->window();
    auto* note = window->findChild<QLabel*>(QLatin1String(kRefusalNote), Qt::FindDirectChildrenOnly);
    if (!note) {
        note = new QLabel(window);
        note->setObjectName(QLatin1String(kRefusalNote));
        note->setWordWrap(true);
        note->setFrameShape(QFrame::Box);
        note->setMargin(3);
        note->setFont(arial(9, true));
        setBackColour(note, QColor(255, 255, 225));
        setTextColour(note, QColor(160, 0, 0));
        auto* hide = new QTimer(note);
        hide->setObjectName(QStringLiteral("hide"));
        hide->setSingleShot(true);
        QObject::connect(hide, &QTimer::timeout, note, &QWidget::hide);
    }
    note->setText(why);
    const int width = std::min(std::max(box->width(), 240), window->width());
    note->setFixedWidth(width);
    note->setFixedHeight(note->heightForWidth(width));
    const QPoint under = box->mapTo(window, QPoint(0, box->height() + 2));
    note->move(std::clamp(under.x(), 0, std::max(0, window->width() - width)),
               std::min(under.y(), std::max(0, window->height() - note->height())));
    note->raise();
    note->show();
    note->findChild<QTimer*>(QStringLiteral("hide"))->start(kRefusalNoteMs);
    QAccessibleEvent alert(note, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void refuse(Messages& messages, QLineEdit* box, const QString& text)
{
    messages.inform(text);
    box->clear();
    box->setFocus();
}

bool goesOn(Messages& messages, const EntryAnswer& answer)
{
    switch (answer.kind) {
    case EntryAnswer::Kind::Refuse:
        messages.inform(answer.text);
        return false;
    case EntryAnswer::Kind::Ask:
        return messages.ask(answer.text, answer.title);
    case EntryAnswer::Kind::GoOn:
        break;
    }
    return true;
}

} // namespace tarvino
