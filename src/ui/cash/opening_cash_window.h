// The opening cash window: the cash in the drawer when the sales day starts, offered and stored.
#pragma once

#include "app/context.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvino {

class Form1;

class Form14 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form14)

public:
    Form14(Form1& sales, Context& context);

    // Opens the window over the sales window, which waits disabled until it closes.
    static Form14* open(Form1& sales, Context& context);

    void Command1_Click(); // Guardar

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Text1;
    QPushButton* Command1;

private:
    Form1& m_sales;
    Context& m_ctx;
};

} // namespace tarvino
