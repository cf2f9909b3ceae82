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

    // Checks the boxes against Usuarios; on success opens the sales window and closes this one.
    void Login();
    // The sales window this login opened, if any.
    Form1* salesWindow() const;

    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;

private:
    Context& m_ctx;
    QPointer<Form1> m_sales;
    LoginAttempts m_attempts;
};

} // namespace tarvino
