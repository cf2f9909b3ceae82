// The user administration window: adds users, changes a user's password, receipt setting and
// rights, and deletes users (never the administrator).
#include "users/users_window.h"

#include "kit/window_kit.h"
#include "common/services.h"
#include "data/database.h"
#include "users/user_entry.h"
#include "users/users.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace tarvino {

namespace {
constexpr int kWidth = 6600;
constexpr int kHeight = 4440;

void fillWindow(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
} // namespace

Form8::Form8(Context& context, const QString& loggedIn, QWidget* parent)
    : QWidget(parent), m_ctx(context), m_loggedIn(loggedIn)
{
    fixedWindow(this, "Form8", QSize(px(kWidth), px(kHeight)));
    buildControls();
}

Form8* Form8::open(QWidget* caller, Context& context, const QString& loggedIn)
{
    auto* form = new Form8(context, loggedIn);
    form->Form_Load();
    openFixed(caller, form, CallerState::Hidden, CentreOn::Caller);
    form->Text1->setFocus();
    return form;
}

void Form8::buildControls()
{
    // Only the window's own colour: the boxes keep their white, and their grey when disabled.
    fillWindow(this, QColor(0x00, 0xBB, 0xFF));
    setFont(arial(10, true));

    Label1 = banner(this, "Label1", QStringLiteral("CAMBIAR CONTRASEÑA"), kWidth, 600, arial(14, true));

    Frame1 = place(new QFrame(this), "Frame1", 240, 840, kWidth - 480, 3360);
    Frame1->setFrameShape(QFrame::Box);
    fillWindow(Frame1, QColor(224, 224, 224));

    Label2 = place(new QLabel(QStringLiteral("Nombre Usuario"), Frame1), "Label2", 240, 330, 2040, 390);
    Text1 = captioned(Label2, place(new QLineEdit(Frame1), "Text1", 2400, 270, 3480, 450));
    Label3 = place(new QLabel(QStringLiteral("Contraseña"), Frame1), "Label3", 240, 870, 2040, 390);
    Text2 = captioned(Label3, place(new QLineEdit(Frame1), "Text2", 2400, 810, 3480, 450));
    for (QLineEdit* box : {Text1, Text2})
        box->setFont(arial(11));
    // Hidden as at the login: someone beside the owner may be reading the screen.
    hidePassword(Text2);

    // The list's visible caption names it for screen readers too, which then read the chosen entry
    // as the list's value.
    Label4 = place(new QLabel(QStringLiteral("Boleta"), Frame1), "Label4", 240, 1410, 2040, 390);
    Combo1 = captioned(Label4, place(new QComboBox(Frame1), "Combo1", 2400, 1350, 3480, 450));
    Combo1->setFont(arial(11));
    Combo1->setToolTip(QStringLiteral("Impresión de boleta"));

    // The rights, in one row under the receipt setting.
    Check1 = place(new QCheckBox(QStringLiteral("Administrador"), Frame1), "Check1", 240, 1920, 2040, 390);
    Check1->setAccessibleDescription(QStringLiteral("Todos los menús, también USUARIOS"));
    Check2 = place(new QCheckBox(QStringLiteral("Productos"), Frame1), "Check2", 2400, 1920, 1560, 390);
    Check2->setAccessibleDescription(QStringLiteral("EDICION DE PRODUCTOS y STOCK DE PRODUCTOS"));
    Check3 = place(new QCheckBox(QStringLiteral("Recaudación"), Frame1), "Check3", 4080, 1920, 1800, 390);
    Check3->setAccessibleDescription(QStringLiteral("El historial de RECAUDACIÓN"));
    for (QCheckBox* box : {Check1, Check2, Check3}) {
        box->setAccessibleName(box->text());
        box->setToolTip(box->accessibleDescription());
        keyboardButton(box);
    }

    Command3 = place(new QPushButton(QStringLiteral("Guardar"), Frame1), "Command3", 240, 2460, 1800, 600);
    Command3->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    setButtonColours(Command3, Qt::white);
    Command4 = place(new QPushButton(QStringLiteral("Eliminar"), Frame1), "Command4", 2160, 2460, 1800, 600);
    Command4->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    setButtonColours(Command4, Qt::white);
    Command5 = place(new QPushButton(QStringLiteral("Cancelar"), Frame1), "Command5", 4080, 2460, 1800, 600);
    setButtonColours(Command5, QColor(255, 0, 0), Qt::white);
    for (QPushButton* button : {Command3, Command4, Command5})
        keyboardButton(button);

    connect(Combo1, &QComboBox::activated, this, &Form8::Combo1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form8::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form8::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form8::Command5_Click);
    installKeys(Text1, KeyClass::UserName, [this] { LookUpUser(); });
    KeyHandler* passwordKeys = installKeys(Text2, KeyClass::UserName);
    // Every key the box drops but Enter is a refused one (upper case, an accent, a sign, too long).
    passwordKeys->keyPress = [this, taken = passwordKeys->keyPress](int keyAscii) {
        const bool dropped = taken(keyAscii);
        if (dropped && keyAscii != 13)
            m_passwordKeyRefused = true;
        return dropped;
    };
    // Emptied, the box starts a password afresh.
    connect(Text2, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            m_passwordKeyRefused = false;
    });

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Combo1);
    setTabOrder(Combo1, Check1);
    setTabOrder(Check1, Check2);
    setTabOrder(Check2, Check3);
    setTabOrder(Check3, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
}

void Form8::Form_Load()
{
    Combo1->clear();
    Combo1->addItems(receiptChoices());
    Combo1->setCurrentIndex(-1);
    Text3 = QStringLiteral("1");
    Text1->clear();
    Text2->clear();
    NameEntryState();
    Command4->setEnabled(false);
}

void Form8::Combo1_Click()
{
    const QString setting = receiptSettingOfChoice(Combo1->currentIndex());
    if (!setting.isEmpty())
        Text3 = setting;
}

void Form8::LookUpUser()
{
    if (!goesOn(m_ctx.messages, UserEntry::name(Text1->text())))
        return;
    UserFound found;
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo buscar el usuario."),
                 [&] { found = lookUpUser(m_ctx.db, Text1->text()); }))
        return;
    PasswordEntryState();
    if (found.exists) {
        // A stored value that is none of the three entries is kept as it is, with no entry
        // shown, rather than showing (and saving) the entry of the user looked up before.
        Text3 = found.setting;
        Combo1->setCurrentIndex(found.choice);
        // The stored password is never shown: a new one typed here replaces it.
        Text2->clear();
        Text2->setPlaceholderText(QStringLiteral("vacía: no se cambia"));
        showRights(found.rights);
        // The administrator's account keeps every right.
        if (Text1->text() == kAdminName)
            Check1->setEnabled(false);
        m = true;
        Command4->setEnabled(true);
    } else {
        Text2->clear();
        Text2->setPlaceholderText({});
        showRights({});
        m = false;
        Command4->setEnabled(false);
    }
    Text2->setFocus();
}

void Form8::Command3_Click()
{
    SaveUser();
}

void Form8::SaveUser()
{
    // The password box shows no letters: a key it refused would otherwise go unnoticed, and the user
    // would get a password other than the one the owner typed and hands over.
    const EntryAnswer typed = UserEntry::password(Text2->text(), m_passwordKeyRefused);
    if (!typed.goesOn()) {
        refuse(m_ctx.messages, Text2, typed.text);
        return;
    }
    UserSaveResult result{UserSaveResult::Outcome::MissingData, {}};
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo guardar el usuario. No se guardó nada."),
                 [&] {
                     result = saveUser(m_ctx.db, Text1->text(), Text2->text(), Text3, m,
                                       {Check1->isChecked(), Check2->isChecked(), Check3->isChecked()});
                 }))
        return;
    if (!result.saved()) {
        m_ctx.messages.inform(result.message);
        return;
    }
    NameEntryState();
    Command4->setEnabled(false);
    ClearUserForm();
}

void Form8::Command4_Click()
{
    DeleteUser();
}

void Form8::DeleteUser()
{
    const QString name = Text1->text();
    UserDeletion rule{UserDeletion::Outcome::Vanished, {}};
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo eliminar el usuario."),
                 [&] { rule = checkUserDeletion(m_ctx.db, name, m_loggedIn); }))
        return;
    if (!goesOn(m_ctx.messages, rule.answer)) {
        // Nothing is left to delete or change of a user removed meanwhile.
        if (rule.outcome == UserDeletion::Outcome::Vanished)
            Command5_Click();
        return;
    }
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo eliminar el usuario. No se eliminó nada."),
                 [&] { rule = deleteUser(m_ctx.db, name, m_loggedIn); }))
        return;
    if (!rule.allowed()) {
        m_ctx.messages.inform(rule.answer.text);
        return;
    }
    ClearUserForm();
    NameEntryState();
    Command4->setEnabled(false);
}

void Form8::Command5_Click()
{
    ClearUserForm();
    NameEntryState();
    Command4->setEnabled(false);
}

void Form8::showRights(const UserRights& rights)
{
    Check1->setChecked(rights.administrator);
    Check2->setChecked(rights.products);
    Check3->setChecked(rights.takings);
}

void Form8::NameEntryState()
{
    Text1->setEnabled(true);
    Text2->setEnabled(false);
    Combo1->setEnabled(false);
    for (QCheckBox* box : {Check1, Check2, Check3})
        box->setEnabled(false);
    if (Frame1->isEnabled())
        Text1->setFocus();
}

void Form8::PasswordEntryState()
{
    Text1->setEnabled(false);
    Text2->setEnabled(true);
    Combo1->setEnabled(true);
    for (QCheckBox* box : {Check1, Check2, Check3})
        box->setEnabled(true);
}

void Form8::ClearUserForm()
{
    Text1->clear();
    Text2->clear();
    Text2->setPlaceholderText({});
    Combo1->setEnabled(false);
    showRights({});
    for (QCheckBox* box : {Check1, Check2, Check3})
        box->setEnabled(false);
}

} // namespace tarvino
