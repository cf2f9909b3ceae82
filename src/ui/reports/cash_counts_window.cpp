// The owner's report of the drawer's counts: every closed day of a period with its opening cash, takings, expected and counted cash and difference, with a chart of them.
#include "reports/cash_counts_window.h"

#include "app/placement.h"
#include "common/services.h"
#include "common/timestamps.h"
#include "kit/key_filter.h"
#include "kit/window_kit.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QTreeView>
#include <QValueAxis>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace tarvino {

namespace {

// The till column means something only on a server, whose days each name their till; on the
// file it is hidden (see tillHidden).
const ListColumn kCountColumns[] = {
    {"Caja", 1300, Qt::AlignLeft},
    {"Día", 2000, Qt::AlignLeft},
    {"Fondo", 1500, Qt::AlignRight},
    {"Efectivo", 1700, Qt::AlignRight},
    {"Tarjeta", 1700, Qt::AlignRight},
    {"Esperado", 1700, Qt::AlignRight},
    {"Contado", 1700, Qt::AlignRight},
    {"Diferencia", 1700, Qt::AlignRight},
};
// On the file, the same columns with no room for the till.
const std::array<ListColumn, std::size(kCountColumns)> kCountColumnsNoTill = [] {
    std::array<ListColumn, std::size(kCountColumns)> columns{};
    std::copy(std::begin(kCountColumns), std::end(kCountColumns), columns.begin());
    columns[0].twips = 0;
    return columns;
}();

const QString kTakings = QStringLiteral("Recaudación diaria");
const QString kDifferences = QStringLiteral("Diferencias de caja");

const QColor kCash(0x2E, 0x8B, 0x57);
const QColor kCard(0x1E, 0x5A, 0xA8);
const QColor kSurplus(0x1E, 0x5A, 0xA8);
const QColor kShortfall(0xC0, 0x20, 0x20);

// Dates beyond which the bars are too narrow for a weekday and date under each.
constexpr size_t kLabelledBars = 10;

// A date under its bar: its weekday over it.
QString barLabel(const QDate& date)
{
    return QLocale().toString(date, QStringLiteral("ddd'<br>'dd/MM"));
}

QBarSet* barSet(const QString& name, const QColor& colour)
{
    auto* set = new QBarSet(name);
    set->setColor(colour);
    set->setBorderColor(colour);
    return set;
}

// The chart's figure of a bar as its amount in the shop's money, when the mouse is over it.
void tellAmounts(QChartView* view, QBarSet* set, const std::vector<DailyFigures>& daily,
                 Cents DailyFigures::*figure)
{
    QObject::connect(set, &QBarSet::hovered, set, [view, set, daily, figure](bool over, int index) {
        if (!over || index < 0 || index >= int(daily.size())) {
            QToolTip::hideText();
            return;
        }
        const DailyFigures& day = daily[size_t(index)];
        QToolTip::showText(QCursor::pos(),
                           QStringLiteral("%1, %2: %3")
                               .arg(dateText(day.date.startOfDay()), set->label(), moneyText(day.*figure)),
                           view);
    });
}

QChartView* chartView(QWidget* parent, const char* name, int left, const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setTitleFont(arial(11, true));
    chart->setAnimationOptions(QChart::NoAnimation);
    // The amounts on the axis grouped as the shop writes them: 150.000.
    chart->setLocalizeNumbers(true);
    chart->setLocale(QLocale());
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setFont(arial(9));
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* view = place(new QChartView(chart, parent), name, left, 5520, 7380, 4575);
    view->setRenderHint(QPainter::Antialiasing);
    view->setFocusPolicy(Qt::NoFocus);
    return view;
}

// Empties a chart for new series: the axes go with the series they measured.
void clearChart(QChart* chart)
{
    chart->removeAllSeries();
    const auto axes = chart->axes();
    for (QAbstractAxis* axis : axes) {
        chart->removeAxis(axis);
        delete axis;
    }
}

// Puts series on chart, under title, with the dates along the bottom and amounts from low to high up the side.
void addBars(QChart* chart, const QString& title, QStackedBarSeries* series,
             const std::vector<DailyFigures>& daily, double low, double high)
{
    chart->addSeries(series);
    auto* dates = new QBarCategoryAxis;
    for (const DailyFigures& day : daily)
        dates->append(barLabel(day.date));
    dates->setLabelsFont(arial(8));
    // Under a month of narrow bars no date fits, not even cut short: the title names the first and
    // the last, and the tip of each bar its own.
    chart->setTitle(title);
    if (daily.size() > kLabelledBars) {
        dates->setLabelsVisible(false);
        chart->setTitle(QStringLiteral("%1, del %2 al %3")
                            .arg(title, dateText(daily.front().date.startOfDay()),
                                 dateText(daily.back().date.startOfDay())));
    }
    chart->addAxis(dates, Qt::AlignBottom);
    series->attachAxis(dates);

    auto* amounts = new QValueAxis;
    amounts->setRange(low, high);
    amounts->applyNiceNumbers();
    amounts->setLabelFormat(QStringLiteral("%.0f"));
    amounts->setLabelsFont(arial(8));
    chart->addAxis(amounts, Qt::AlignLeft);
    series->attachAxis(amounts);
}

} // namespace

Form18::Form18(Context& context, QWidget* parent) : QMainWindow(parent), m_ctx(context)
{
    buildControls();
}

Form18* Form18::open(QWidget* caller, Context& context)
{
    Form18* report = openMaximised<Form18>(caller, context);
    report->DTPicker1->setFocus();
    return report;
}

void Form18::buildControls()
{
    Picture1 = maximisedWindow(this, "Form18", arial(11.25, true));
    Label2 = banner(Picture1, "Label2", cashCountsTexts::kTitulo, 15135, 615, arialNarrow(20.25, true));

    Label1 = place(new QLabel(QStringLiteral("Desde"), Picture1), "Label1", 120, 735, 900, 450);
    DTPicker1 = place(new QDateEdit(Picture1), "DTPicker1", 1020, 735, 2100, 450);
    Label3 = place(new QLabel(QStringLiteral("Hasta"), Picture1), "Label3", 3360, 735, 900, 450);
    DTPicker2 = place(new QDateEdit(Picture1), "DTPicker2", 4260, 735, 2100, 450);
    for (QDateEdit* box : {DTPicker1, DTPicker2}) {
        box->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
        box->setCalendarPopup(true);
        box->setFont(arial(11));
        // Enter in a date box shows its period, as VER does.
        KeyHandler::install(box)->keyPress = [this](int key) {
            if (key != 13)
                return false;
            Command1_Click();
            return true;
        };
    }
    DTPicker1->setAccessibleName(QStringLiteral("Desde el día"));
    DTPicker2->setAccessibleName(QStringLiteral("Hasta el día"));
    Command1 = place(new QPushButton(QStringLiteral("VER"), Picture1), "Command1", 6600, 690, 1380, 540);
    Command1->setFont(arial(11, true));
    setButtonColours(Command1, QColor(0, 192, 0), Qt::white);
    keyboardButton(Command1);

    Label4 = place(new QLabel(Picture1), "Label4", 8160, 660, 6855, 600);
    Label4->setWordWrap(true);
    Label4->setFont(arial(9));

    ListView1 = place(new QTreeView(Picture1), "ListView1", 120, 1320, 14895, 3600);
    m_model = attachModel<CashCounts>(
        ListView1, kCountColumns, [](const CashCounts& rows) { return qsizetype(rows.days.size()); },
        [](const CashCounts& rows, qsizetype row, int column) { return rows.cell(row, column); }, this);
    // The totals stand in a list of their own under the days, with the same columns, so that
    // each total stays under its column however long the list is.
    ListView2 = place(new QTreeView(Picture1), "ListView2", 120, 4935, 14895, 480);
    m_foot = attachModel<QStringList>(
        ListView2, kCountColumns, [](const QStringList& rows) { return qsizetype(rows.isEmpty() ? 0 : 1); },
        [](const QStringList& rows, qsizetype, int column) { return rows.value(column); }, this);
    ListView2->setFocusPolicy(Qt::NoFocus);

    Chart1 = chartView(Picture1, "Chart1", 120, kTakings);
    Chart2 = chartView(Picture1, "Chart2", 7635, kDifferences);

    setTabOrder(DTPicker1, DTPicker2);
    setTabOrder(DTPicker2, Command1);
    setTabOrder(Command1, ListView1);
    connect(Command1, &QPushButton::clicked, this, &Form18::Command1_Click);
}

const CashCounts& Form18::result() const
{
    return m_model->rows();
}

void Form18::Form_Load()
{
    QString width;
    QString height;
    ScreenSize(width, height);
    CentreContainer(Picture1, width, height);
    const Period week = lastWeek(m_ctx.clock.now().date());
    DTPicker1->setDate(week.from);
    DTPicker2->setDate(week.to);
    Command1_Click();
}

void Form18::Command1_Click()
{
    const Period period{DTPicker1->date(), DTPicker2->date()};
    if (const QString problem = periodProblem(period); !problem.isEmpty()) {
        m_ctx.messages.inform(problem, kAppTitle, Messages::Icon::Exclamation);
        DTPicker1->setFocus();
        return;
    }
    CashCounts found;
    if (guarded(m_ctx.messages, QStringLiteral("No se pudieron leer los arqueos de caja."),
                [&] { found = cashCounts(m_ctx.db, period); }))
        showResult(std::move(found));
}

void Form18::showResult(CashCounts found)
{
    const bool tills = found.anyTill();
    for (QTreeView* list : {ListView1, ListView2}) {
        setUpReportList(list, tills ? std::span<const ListColumn>(kCountColumns)
                                    : std::span<const ListColumn>(kCountColumnsNoTill),
                        arial(11, list == ListView2), arial(10, true));
        list->setColumnHidden(0, !tills);
    }
    ListView2->setHeaderHidden(true);
    // No scroll bar of its own: the columns are fitted as if it had one, as the days' list is.
    ListView2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setBackColour(ListView2, Qt::white);

    m_foot->setRows(found.foot());
    m_model->setRows(std::move(found));
    const CashCounts& shown = m_model->rows();
    if (shown.days.empty())
        Label4->setText(QStringLiteral("No hay días cerrados en el período. Elija otras fechas y pulse VER."));
    else if (shown.totals.uncounted > 0)
        Label4->setText(shown.daysText() +
                        QStringLiteral(". «%1»: día cerrado al salir del programa, sin contar el "
                                       "efectivo; su Esperado no entra en la diferencia.")
                            .arg(cashCountsTexts::kSinArqueo));
    else
        Label4->setText(shown.daysText() + QLatin1Char('.'));

    const std::vector<DailyFigures> daily = shown.daily();
    drawTakings(daily);
    drawDifferences(daily);
}

void Form18::drawTakings(const std::vector<DailyFigures>& daily)
{
    QChart* chart = Chart1->chart();
    clearChart(chart);
    auto* series = new QStackedBarSeries;
    QBarSet* cash = barSet(QStringLiteral("Efectivo"), kCash);
    QBarSet* card = barSet(QStringLiteral("Tarjeta"), kCard);
    double highest = 0;
    for (const DailyFigures& day : daily) {
        *cash << fromCents(day.cash);
        *card << fromCents(day.card);
        highest = std::max(highest, fromCents(day.cash + day.card));
    }
    series->append(cash);
    series->append(card);
    tellAmounts(Chart1, cash, daily, &DailyFigures::cash);
    tellAmounts(Chart1, card, daily, &DailyFigures::card);
    addBars(chart, kTakings, series, daily, 0, highest > 0 ? highest : 1);
}

void Form18::drawDifferences(const std::vector<DailyFigures>& daily)
{
    QChart* chart = Chart2->chart();
    clearChart(chart);
    auto* series = new QStackedBarSeries;
    // A surplus stands above the line and a shortfall hangs below it, each in its own colour.
    QBarSet* surplus = barSet(QStringLiteral("Sobrante"), kSurplus);
    QBarSet* shortfall = barSet(QStringLiteral("Faltante"), kShortfall);
    Cents widest = 0;
    for (const DailyFigures& day : daily) {
        *surplus << fromCents(std::max<Cents>(day.difference, 0));
        *shortfall << fromCents(std::min<Cents>(day.difference, 0));
        widest = std::max(widest, std::abs(day.difference));
    }
    series->append(surplus);
    series->append(shortfall);
    tellAmounts(Chart2, surplus, daily, &DailyFigures::difference);
    tellAmounts(Chart2, shortfall, daily, &DailyFigures::difference);
    // The zero line in the middle, so that a surplus and a shortfall of the same size look alike.
    const double reach = widest > 0 ? fromCents(widest) : 1;
    addBars(chart, kDifferences, series, daily, -reach, reach);
}

} // namespace tarvino
