// A report of the drawer on screen (the X report of the day so far, the Z report of the close):
// its text as the roll prints it, printed again on demand.
#pragma once

#include "app/context.h"
#include "cash/cash_report.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tarvino {

class Form1;

class Form17 final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form17)

public:
    // title heads the window ("INFORME X"); the report prints on the roll of user.
    Form17(Context& context, const QString& title, std::vector<ReportLine> lines, const QString& user);

    // Opens the report over caller, which waits greyed; afterClose runs once it is closed.
    static Form17* open(QWidget* caller, Context& context, const QString& title,
                        std::vector<ReportLine> lines, const QString& user,
                        std::function<void()> afterClose = {});
    // The X report of the sales window's whole day, made now. Nothing is stored. Nothing opens
    // (after a message) when the day's figures cannot be read.
    static Form17* openX(Form1& sales, Context& context);

    void Command1_Click(); // Imprimir
    void Command2_Click(); // Cerrar

    QLabel* Label1; // banner
    QPlainTextEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;

    // Esc closes the report, as Cerrar does.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Context& m_ctx;
    std::vector<ReportLine> m_lines;
    QString m_user;
};

} // namespace tarvino
