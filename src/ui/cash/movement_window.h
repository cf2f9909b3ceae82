// The cash movement window: money put into the drawer or taken out of it, with its reason, and
// for a cash out by a cashier the administrator who allows it.
#pragma once

#include "app/context.h"
#include "cash/cash_book.h"
#include "users/users.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvino {

class Form1;

class Form15 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form15)

public:
    Form15(Form1& sales, Context& context, CashMovement::Kind kind);

    // Opens the window over the sales window, which waits disabled until it closes.
    static Form15* open(Form1& sales, Context& context, CashMovement::Kind kind);

    void Command1_Click(); // Guardar

    QLabel* Label1; // the banner: which movement this is
    QLabel* Label2;
    QLineEdit* Text1; // amount
    QLabel* Label3;
    QComboBox* Combo1; // reason, chosen or typed
    // Shown only when the user may not take cash out alone.
    QLabel* Label4;
    QLineEdit* Text2; // the administrator's name
    QLabel* Label5;
    QLineEdit* Text3; // the administrator's password
    QPushButton* Command1;

private:
    void Combo1_Enter();
    // Checks the administrator's boxes; the name as stored, or empty after telling why.
    QString authorisation();

    Form1& m_sales;
    Context& m_ctx;
    CashMovement::Kind m_kind;
    bool m_needsAuthorisation;
    LoginAttempts m_attempts;
};

} // namespace tarvino
