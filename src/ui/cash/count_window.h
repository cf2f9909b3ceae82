// The count of the drawer and the close of the day: what the drawer should hold, the cash counted
// (as one amount or by coins and notes) and its difference, then the close, the Z report and a new
// day.
#pragma once

#include "app/context.h"
#include "cash/cash_book.h"

#include <QDialog>

#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tarvino {

class Form1;

class Form16 final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form16)

public:
    Form16(Form1& sales, Context& context);

    // Opens the count over the sales window, which waits greyed. Nothing opens (after a message)
    // while a sale is on screen, or when the day's figures cannot be read.
    static Form16* open(Form1& sales, Context& context);

    // Reads what the drawer should hold and shows it; false (after a message) when it cannot.
    bool Form_Load();

    void Command1_Click(); // Cerrar caja
    void Command2_Click(); // Volver: nothing counted, the day stays open

    QLabel* Label1;  // banner
    QLabel* Label2;  // opening cash
    QLabel* Label3;  // cash takings
    QLabel* Label4;  // cash in
    QLabel* Label5;  // cash out
    QLabel* Label6;  // what the drawer should hold
    QLabel* Label7;  // card takings
    QLabel* Label8;  // "Efectivo contado"
    QLineEdit* Text1; // cash counted
    QLabel* Label9;  // the difference
    QLabel* Label10; // heading of the coins and notes
    // One box per coin and note, smallest coin first, with its value.
    std::vector<std::pair<Cents, QLineEdit*>> Pieces;
    QPushButton* Command1;
    QPushButton* Command2;

    // The figures the count is compared with, as read when the window opened.
    const CashSummary& summary() const { return m_summary; }

    // Esc goes back to the sale, as Volver does.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void piecesChanged();
    void showDifference();
    std::vector<std::pair<Cents, int>> piecesCounted() const;

    Form1& m_sales;
    Context& m_ctx;
    CashSummary m_summary;
    bool m_done = false;
};

} // namespace tarvino
