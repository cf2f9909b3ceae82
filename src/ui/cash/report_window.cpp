// A report of the drawer on screen (the X report of the day so far, the Z report of the close):
// its text as the roll prints it, printed again on demand.
#include "cash/report_window.h"

#include "cash/cash_count.h"
#include "common/services.h"
#include "data/database.h"
#include "kit/window_kit.h"
#include "sales/sales_window.h"

#include <QFontDatabase>
#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tarvino {

namespace {

constexpr int kWidth = 6600;
constexpr int kMargin = 240;
constexpr int kTextTop = 660;
constexpr int kTextHeight = 7200;
constexpr int kButtonsTop = kTextTop + kTextHeight + 180;
constexpr int kHeight = kButtonsTop + 495 + 240;

} // namespace

Form17::Form17(Context& context, const QString& title, std::vector<ReportLine> lines, const QString& user)
    : QDialog(nullptr), m_ctx(context), m_lines(std::move(lines)), m_user(user)
{
    fixedWindow(this, "Form17", QSize(px(kWidth), px(kHeight)));
    setFont(arial(10));
    Label1 = banner(this, "Label1", title, kWidth, 540, arial(14, true));
    Text1 = place(new QPlainTextEdit(this), "Text1", kMargin, kTextTop, kWidth - 2 * kMargin, kTextHeight);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(10);
    Text1->setFont(fixed);
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Esc leaves the window; Tab goes on to the buttons instead of into the text.
    Text1->setTabChangesFocus(true);
    Text1->setPlainText(reportText(m_lines));
    Text1->setAccessibleName(title);

    Command1 = place(new QPushButton(QStringLiteral("Imprimir"), this), "Command1", kMargin, kButtonsTop, 2160, 495);
    setButtonColours(Command1, QColor(128, 255, 128));
    Command2 = place(new QPushButton(QStringLiteral("Cerrar"), this), "Command2", kWidth - kMargin - 2160,
                     kButtonsTop, 2160, 495);
    setButtonColours(Command2, QColor(255, 255, 128));
    for (QPushButton* button : {Command1, Command2})
        keyboardButton(button);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    connect(Command1, &QPushButton::clicked, this, &Form17::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form17::Command2_Click);
    Text1->setFocus();
}

Form17* Form17::open(QWidget* caller, Context& context, const QString& title, std::vector<ReportLine> lines,
                     const QString& user, std::function<void()> afterClose)
{
    auto* form = new Form17(context, title, std::move(lines), user);
    openFixed(caller, form, CallerState::Disabled, CentreOn::Caller, std::move(afterClose));
    form->Text1->setFocus();
    return form;
}

Form17* Form17::openX(Form1& sales, Context& context)
{
    CashSummary summary;
    if (!guarded(context.messages, QStringLiteral("No se pudo leer el dinero de la caja."),
                 [&] { summary = summarise(context.db, {sales.day().openingStamp(), {}, {}}); }))
        return nullptr;
    return open(&sales, context, QStringLiteral("INFORME X"),
                xReportLines(summary, context.db.till(), context.clock.now()), sales.day().user());
}

void Form17::Command1_Click()
{
    if (const QString problem = printReportProblem(m_ctx.db, m_ctx.printer, m_user, m_lines); !problem.isEmpty())
        m_ctx.messages.inform(problem, kAppTitle, Messages::Icon::Exclamation);
}

void Form17::Command2_Click()
{
    close();
}

void Form17::reject()
{
    close();
}

void Form17::closeEvent(QCloseEvent* event)
{
    // A dialog's own closing would ask reject() again, which closes: the window just goes.
    event->accept();
}

} // namespace tarvino
