// The login window: asks for a user name and password and opens the sales window.
#pragma once

#include "app/context.h"
#include "users/users.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace tarvino {

class Form1;

class Form4 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form4)

public:
    explicit Form4(Context& context, QWidget* parent = nullptr);
    // A change of cashier: the day of sales stays open in sales, hidden meanwhile; the login
    // hands it to the next user and shows it again.
    Form4(Context& context, Form1& sales);

    // Checks the boxes against Usuarios; on success opens the sales window and closes this one.
    void Login();
    // The sales window this login opened, or hands over, if any.
    Form1* salesWindow() const;
    // Whether this login is a change of cashier.
    bool changesCashier() const { return m_change; }

protected:
    void closeEvent(QCloseEvent* event) override;

public:

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;

private:
    void buildControls();
    // The change of cashier's end of the login: the day goes on under the new user.
    void handOver(const LoginResult& result);

    Context& m_ctx;
    QPointer<Form1> m_sales;
    LoginAttempts m_attempts;
    bool m_change = false;
    bool m_done = false; // the sales window is shown again: closing leaves nothing behind
};

} // namespace tarvino
