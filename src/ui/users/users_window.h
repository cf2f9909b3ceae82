// The user administration window: adds users, changes a user's password, receipt setting and
// rights, and deletes users (never the administrator).
#pragma once

#include "app/context.h"

#include <QString>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvino {

struct UserRights;

class Form8 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form8)

public:
    // loggedIn is the user at the till, whose account cannot be deleted from here.
    explicit Form8(Context& context, const QString& loggedIn = {}, QWidget* parent = nullptr);

    // Opens the window in place of caller (hidden while the window is open); loggedIn is the user
    // at the till, whose account is kept.
    static Form8* open(QWidget* caller, Context& context, const QString& loggedIn);

    void Form_Load();
    void Combo1_Click();
    void Command3_Click(); // Guardar
    void Command4_Click(); // Eliminar
    void Command5_Click(); // Cancelar

    QLabel* Label1;
    QFrame* Frame1;
    QLabel* Label2;
    QLineEdit* Text1;
    QLabel* Label3;
    QLineEdit* Text2;
    QLabel* Label4; // the caption of Combo1
    QComboBox* Combo1;
    // The user's rights: Nivel, permisoproductos and permisorecaudacion.
    QCheckBox* Check1; // "Administrador": every menu, user administration included
    QCheckBox* Check2; // "Productos": the product editor and the stock report
    QCheckBox* Check3; // "Recaudación": the takings history
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;

    // Hidden working fields.
    QString Text3;  // the receipt setting to be saved: "0", "58" or "80" ("1" until one is chosen)
    bool m = false; // the name in Text1 belongs to a stored user
    // A key was refused while the password in Text2 was typed: what it holds is not what was typed.
    bool m_passwordKeyRefused = false;

private:
    void LookUpUser();
    void SaveUser();
    void DeleteUser();
    void NameEntryState();
    void PasswordEntryState();
    void ClearUserForm();
    void showRights(const UserRights& rights);
    void buildControls();

    Context& m_ctx;
    QString m_loggedIn;
};

} // namespace tarvino
