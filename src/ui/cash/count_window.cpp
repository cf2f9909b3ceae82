// The count of the drawer and the close of the day: what the drawer should hold, the cash counted
// (as one amount or by coins and notes) and its difference, then the close, the Z report and a new
// day.
#include "cash/count_window.h"

#include "cash/cash_count.h"
#include "cash/report_window.h"
#include "common/services.h"
#include "data/database.h"
#include "kit/window_kit.h"
#include "sales/sales_window.h"

#include <QFrame>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

namespace tarvino {

namespace {

constexpr int kWidth = 7800;
constexpr int kMargin = 240;
constexpr int kInner = kWidth - 2 * kMargin;
constexpr int kFigureLeft = 4680;
constexpr int kFigureWidth = kWidth - kMargin - kFigureLeft;
constexpr int kRow = 360;
constexpr int kPiecesTop = 4680;
constexpr int kPieceRow = 420;
// As many pieces of one kind as a drawer could hold, and no more: the box stays narrow.
constexpr int kPieceDigits = 5;

const QString kSaleOnScreen = QStringLiteral("Termine o cancele la venta antes de cerrar la caja.");
const QString kCountFailed = QStringLiteral(
    "No se pudo cerrar la caja. No se guardó el arqueo y el día sigue abierto con todas sus ventas: "
    "puede intentarlo de nuevo.");

QFrame* rule(QWidget* parent, const char* name, int top)
{
    auto* line = place(new QFrame(parent), name, kMargin, top, kInner, 30);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    return line;
}

// A caption on the left and its figure right-aligned under the others; returns the figure.
QLabel* figureRow(QWidget* parent, const char* name, const QString& caption, int top, bool bold = false)
{
    auto* label = place(new QLabel(caption, parent), "", kMargin, top, kFigureLeft - kMargin, kRow);
    auto* figure = place(new QLabel(parent), name, kFigureLeft, top, kFigureWidth, kRow);
    figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (bold) {
        label->setFont(arial(11, true));
        figure->setFont(arial(11, true));
    }
    label->setObjectName(QString::fromLatin1(name) + QStringLiteral("Caption"));
    return figure;
}

} // namespace

Form16::Form16(Form1& sales, Context& context) : QDialog(nullptr), m_sales(sales), m_ctx(context)
{
    const std::size_t coins = m_ctx.cash.coins.size();
    const std::size_t notes = m_ctx.cash.notes.size();
    const int pieceRows = int(std::max(coins, notes));
    const int buttonsTop = kPiecesTop + pieceRows * kPieceRow + 240;
    fixedWindow(this, "Form16", QSize(px(kWidth), px(buttonsTop + 495 + 240)));
    setFont(arial(10));

    Label1 = banner(this, "Label1", QStringLiteral("ARQUEO Y CIERRE DE CAJA"), kWidth, 540, arial(14, true));
    Label2 = figureRow(this, "Label2", QStringLiteral("Fondo de caja"), 660);
    Label3 = figureRow(this, "Label3", QStringLiteral("+ Ventas en efectivo"), 660 + kRow);
    Label4 = figureRow(this, "Label4", QStringLiteral("+ Ingresos de dinero"), 660 + 2 * kRow);
    Label5 = figureRow(this, "Label5", QStringLiteral("− Retiros de dinero"), 660 + 3 * kRow);
    rule(this, "Line1", 660 + 4 * kRow + 45);
    Label6 = figureRow(this, "Label6", QStringLiteral("Efectivo que debe haber en caja"), 660 + 4 * kRow + 120, true);
    Label7 = figureRow(this, "Label7", QStringLiteral("Ventas con tarjeta (compárelas con el terminal)"),
                       660 + 5 * kRow + 180);
    rule(this, "Line2", 660 + 6 * kRow + 240);

    Label8 = place(new QLabel(QStringLiteral("Efectivo contado   $"), this), "Label8", kMargin, 3300,
                   kFigureLeft - kMargin, 420);
    Label8->setFont(arial(12, true));
    Text1 = captioned(Label8, place(new QLineEdit(this), "Text1", kFigureLeft, 3300, kFigureWidth, 420));
    Text1->setFont(arial(12, true));
    Text1->setAlignment(Qt::AlignRight);
    Text1->setMaxLength(12); // 999999999,99
    Label9 = place(new QLabel(this), "Label9", kMargin, 3810, kInner, 420);
    Label9->setFont(arial(13, true));
    Label9->setAlignment(Qt::AlignCenter);
    Label10 = place(new QLabel(QStringLiteral("O cuente por monedas y billetes (cantidad de cada uno):"), this),
                    "Label10", kMargin, 4290, kInner, 330);

    // Coins on the left, notes on the right, each a value and the number of pieces counted.
    const auto addPieces = [this](const std::vector<Cents>& values, int left) {
        int top = kPiecesTop;
        for (const Cents value : values) {
            auto* caption = place(new QLabel(moneyText(value), this), "", left, top, 1800, 360);
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            auto* box = captioned(caption, place(new QLineEdit(this), "", left + 1920, top, 1200, 360));
            box->setObjectName(QStringLiteral("Piece%1").arg(Pieces.size()));
            box->setMaxLength(kPieceDigits);
            box->setAlignment(Qt::AlignRight);
            Pieces.emplace_back(value, box);
            top += kPieceRow;
        }
    };
    addPieces(m_ctx.cash.coins, kMargin);
    addPieces(m_ctx.cash.notes, kWidth / 2);

    Command1 = place(new QPushButton(QStringLiteral("Cerrar caja"), this), "Command1", kMargin, buttonsTop, 2400, 495);
    setButtonColours(Command1, QColor(255, 192, 128));
    Command2 = place(new QPushButton(QStringLiteral("Volver"), this), "Command2", kWidth - kMargin - 2400,
                     buttonsTop, 2400, 495);
    setButtonColours(Command2, QColor(255, 255, 128));
    for (QPushButton* button : {Command1, Command2})
        keyboardButton(button);

    installKeys(Text1, KeyClass::Money, [this] { Command1_Click(); });
    connect(Text1, &QLineEdit::textChanged, this, &Form16::showDifference);
    // Enter on a box of pieces goes on to the next one, and from the last to the counted amount.
    QWidget* previous = Text1;
    for (std::size_t i = 0; i < Pieces.size(); ++i) {
        QLineEdit* box = Pieces[i].second;
        QWidget* next = i + 1 < Pieces.size() ? static_cast<QWidget*>(Pieces[i + 1].second) : Text1;
        installKeys(box, KeyClass::Whole, [next] { next->setFocus(Qt::TabFocusReason); });
        connect(box, &QLineEdit::textEdited, this, &Form16::piecesChanged);
        setTabOrder(previous, box);
        previous = box;
    }
    setTabOrder(previous, Command1);
    setTabOrder(Command1, Command2);
    connect(Command1, &QPushButton::clicked, this, &Form16::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form16::Command2_Click);
    Text1->setFocus();
}

Form16* Form16::open(Form1& sales, Context& context)
{
    // The close empties the day: a sale still on screen would be left without a day to go to.
    if (sales.ListView1->topLevelItemCount() > 0) {
        context.messages.inform(kSaleOnScreen);
        return nullptr;
    }
    auto* form = new Form16(sales, context);
    if (!form->Form_Load()) {
        delete form;
        return nullptr;
    }
    openFixed(&sales, form, CallerState::Disabled, CentreOn::Caller);
    form->Text1->setFocus();
    return form;
}

bool Form16::Form_Load()
{
    if (!guarded(m_ctx.messages, QStringLiteral("No se pudo leer el dinero de la caja."),
                 [this] { m_summary = summarise(m_ctx.db, {m_sales.day().openingStamp(), {}, {}}); }))
        return false;
    Label2->setText(moneyText(m_summary.opening));
    Label3->setText(moneyText(m_summary.cash));
    Label4->setText(moneyText(m_summary.cashIn));
    Label5->setText(moneyText(m_summary.cashOut));
    Label6->setText(moneyText(m_summary.expected()));
    Label7->setText(moneyText(m_summary.card));
    showDifference();
    return true;
}

std::vector<std::pair<Cents, int>> Form16::piecesCounted() const
{
    std::vector<std::pair<Cents, int>> counted;
    for (const auto& [value, box] : Pieces)
        counted.emplace_back(value, box->text().toInt());
    return counted;
}

void Form16::piecesChanged()
{
    // The pieces make the amount: the counted box follows them while any is filled in.
    const auto counted = piecesCounted();
    const bool any = std::any_of(Pieces.begin(), Pieces.end(),
                                 [](const auto& piece) { return !piece.second->text().isEmpty(); });
    if (any)
        Text1->setText(moneyBoxText(countTotal(counted)));
}

void Form16::showDifference()
{
    const MoneyRead read = readMoneyBox(Text1->text());
    if (!read.amount) {
        // An amount the close would refuse says so at once, not only at Enter.
        Label9->setText(Text1->text().isEmpty() ? QString() : read.refusal);
        setTextColour(Label9, QColor(160, 0, 0));
        return;
    }
    const Cents difference = *read.amount - m_summary.expected();
    Label9->setText(differenceText(difference));
    setTextColour(Label9, difference > 0   ? QColor(0, 128, 0)
                          : difference < 0 ? QColor(255, 0, 0)
                                           : QColor(0, 0, 0));
}

void Form16::Command1_Click()
{
    if (m_done)
        return;
    const MoneyRead read = readMoneyBox(Text1->text());
    if (!read.amount) {
        refuse(m_ctx.messages, Text1, read.refusal);
        return;
    }
    const QString user = m_sales.day().user();
    CountClosing closing;
    try {
        closing = closeWithCount(m_ctx.db, m_ctx.clock, m_ctx.printer, m_sales.day().openingStamp(), user,
                                 confirmedCount(*read.amount, piecesCounted()));
    } catch (const DbError& e) {
        reportDbError(m_ctx.messages, kCountFailed, e);
        Text1->setFocus();
        return;
    }
    m_done = true;
    for (const QString& problem : {closing.backupWarning, closing.printFailure})
        if (!problem.isEmpty())
            m_ctx.messages.inform(problem, kAppTitle, Messages::Icon::Exclamation);
    close();
    // The closed day is done with at once; the cashier reads the Z report, then gives the new
    // day its opening cash.
    m_sales.day().startNewDay(user);
    Form1* sales = &m_sales;
    Form17::open(sales, m_ctx, QStringLiteral("INFORME Z"), zReportLines(closing.stored, m_ctx.db.till()), user,
                 [sales] { QTimer::singleShot(0, sales, [sales] { sales->askOpeningCash(); }); });
}

void Form16::Command2_Click()
{
    m_done = true;
    close();
}

void Form16::reject()
{
    Command2_Click();
}

void Form16::closeEvent(QCloseEvent* event)
{
    // A dialog's own closing would ask reject() again, which closes: the window just goes.
    m_done = true;
    event->accept();
}

} // namespace tarvino
