// The day's takings: the total sold so far in the open sales day and how much of it was taken in
// cash and by card. It only reads.
#pragma once

#include "app/context.h"

#include <QWidget>

class QFrame;
class QLabel;

namespace tarvino {

class Form1;

class Form6 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form6)

public:
    Form6(Form1& sales, Context& context);

    // Opens the window in place of the sales window, which is hidden until it closes. Nothing
    // opens (after a message) when the day's figures cannot be read.
    static Form6* open(Form1& sales, Context& context);

    // Reads the day's figures and shows them; false (after a message) when they cannot be read.
    bool Form_Load();

    QLabel* Label2; // heading
    QLabel* Label3; // today's date
    QFrame* Line1;
    QLabel* Label1; // total sold
    QLabel* Label4; // cash
    QLabel* Label5; // card
    QFrame* Line2;

private:
    Form1& m_sales;
    Context& m_ctx;
};

} // namespace tarvino
