// The payment window: takes the amount tendered, shows the change and settles in cash, by card, or
// part in cash and the rest by card.
#pragma once

#include "app/context.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvino {

class Form1;
struct AmountCheck;
struct SplitCheck;

class Form5 final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form5)

public:
    Form5(Form1& sales, Context& context);

    void Command1_Click(); // EFECTIVO
    void Command2_Click(); // TARJETA
    void Command3_Click(); // VOLVER
    void Command4_Click(); // MIXTO (F3): asks for the cash part, the card pays the rest

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLineEdit* Text1;
    QLabel* Label4;
    QLabel* Label5;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    // The split's rows, in place of the amount tendered and the change once MIXTO is pressed.
    QLabel* Label6;
    QLineEdit* Text3; // the cash part
    QLabel* Label7;
    QLabel* Label8;   // the card part, the rest of the total, as the cash part is typed
    QString Text2; // payment kind for the receipt: "0" cash, "1" card, "2" part cash, part card

    // Esc anywhere in the window goes back to the sale.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Text1_Enter();
    // Shows what the amount tendered came to: the change, or the refusal (then false).
    bool showAmount(const AmountCheck& amount);
    void Text3_Change();
    void Text3_Enter();
    void settle(const QString& kind, const QString& flag, bool cash, const SplitCheck* split = nullptr);

    Form1& m_sales;
    Context& m_ctx;
    bool m_done = false;
};

} // namespace tarvino
