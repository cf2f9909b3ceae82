// The takings history: what was sold, cost and taken on one closed sales day or over one month.
#include "reports/history_window.h"

#include "app/placement.h"
#include "kit/window_kit.h"
#include "common/services.h"

#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace tarvino {

namespace {

const ListColumn kHistoryColumns[] = {
    {"_", 0, Qt::AlignLeft},
    {"Código", 2000, Qt::AlignLeft, Fits::Code},
    {"Nombre", 5500, Qt::AlignLeft, Fits::Name},
    {"Cantidad", 1300, Qt::AlignRight},
    {"Costo Total", 1600, Qt::AlignRight},
    {"Venta Total", 1600, Qt::AlignRight},
    {"Categoría", 2500, Qt::AlignHCenter},
};

const QColor kSearchBack(0xE0, 0xF0, 0xFF);
const QColor kCaptionBlue(0x00, 0x40, 0x80);

QLabel* panelCaption(const QString& text, QWidget* parent, const char* name)
{
    QLabel* label = place(new QLabel(text, parent), name, 0, 0, 7380, 420);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(arial(12, true));
    setBackColour(label, kCaptionBlue);
    setTextColour(label, Qt::white);
    return label;
}

QComboBox* choiceList(QWidget* parent, const char* name, int left, int width, const QString& what)
{
    QComboBox* list = place(new QComboBox(parent), name, left, 600, width, 450);
    list->setFont(arial(11));
    list->setPlaceholderText(what);
    list->setAccessibleName(what);
    list->setToolTip(what);
    list->setMaxVisibleItems(20);
    return list;
}

QPushButton* searchButton(QWidget* parent, const char* name)
{
    QPushButton* button = place(new QPushButton(historyTexts::kBuscar, parent), name, 5880, 540, 1380, 570);
    button->setFont(arial(11, true));
    setButtonColours(button, QColor(0, 192, 0), Qt::white);
    keyboardButton(button);
    return button;
}

} // namespace

Form7::Form7(Context& context, QWidget* parent)
    : QMainWindow(parent), m_ctx(context)
{
    buildControls();
}

Form7* Form7::open(QWidget* caller, Context& context)
{
    Form7* history = openMaximised<Form7>(caller, context);
    history->Combo1->setFocus();
    return history;
}

void Form7::buildControls()
{
    Picture1 = maximisedWindow(this, "Form7", arial(11.25, true));
    Label2 = banner(Picture1, "Label2", historyTexts::kTitulo, 15135, 615, arialNarrow(20.25, true));

    // The daily search on the left, the monthly search on the right.
    Picture3 = place(new QFrame(Picture1), "Picture3", 120, 735, 7380, 1395);
    Picture3->setFrameShape(QFrame::Box);
    setBackColour(Picture3, kSearchBack);
    Label1 = panelCaption(historyTexts::kDiaria, Picture3, "Label1");
    Combo1 = choiceList(Picture3, "Combo1", 120, 3000, QStringLiteral("Día de ventas"));
    Combo2 = choiceList(Picture3, "Combo2", 3240, 2520, QStringLiteral("Categoría"));
    Command1 = searchButton(Picture3, "Command1");

    Picture4 = place(new QFrame(Picture1), "Picture4", 7635, 735, 7380, 1395);
    Picture4->setFrameShape(QFrame::Box);
    setBackColour(Picture4, kSearchBack);
    Label3 = panelCaption(historyTexts::kMensual, Picture4, "Label3");
    Combo4 = choiceList(Picture4, "Combo4", 120, 1800, QStringLiteral("Mes"));
    Combo5 = choiceList(Picture4, "Combo5", 2040, 1080, QStringLiteral("Año"));
    Combo6 = choiceList(Picture4, "Combo6", 3240, 2520, QStringLiteral("Categoría"));
    Command3 = searchButton(Picture4, "Command3");

    ListView1 = place(new QTreeView(Picture1), "ListView1", 120, 2250, 14895, 5280);
    m_model = attachModel<HistoryResult>(
        ListView1, kHistoryColumns, [](const HistoryResult& rows) { return qsizetype(rows.lines.size()); },
        [](const HistoryResult& rows, qsizetype row, int column) { return rows.cell(row, column); }, this);

    // The result lines under the list.
    Picture2 = place(new QFrame(Picture1), "Picture2", 120, 7650, 14895, 2445);
    Picture2->setFrameShape(QFrame::Box);
    setBackColour(Picture2, Qt::white);
    Label4 = place(new QLabel(Picture2), "Label4", 120, 90, 14655, 420);
    Label6 = place(new QLabel(Picture2), "Label6", 120, 630, 7200, 420);
    Label7 = place(new QLabel(Picture2), "Label7", 120, 1110, 7200, 420);
    Label8 = place(new QLabel(Picture2), "Label8", 120, 1590, 7200, 420);
    Label9 = place(new QLabel(Picture2), "Label9", 7440, 630, 7200, 420);
    Label11 = place(new QLabel(Picture2), "Label11", 7440, 1110, 7200, 420);
    for (QLabel* label : {Label4, Label6, Label7, Label8, Label9, Label11})
        label->setFont(arial(12, true));
    setTextColour(Label8, QColor(0, 128, 0));

    // The waiting notice stands over the list while a search is pending.
    Label12 = place(new QLabel(historyTexts::kCargando, Picture1), "Label12", 3600, 4290, 7935, 720);
    Label12->setAlignment(Qt::AlignCenter);
    Label12->setFont(arial(16, true));
    setBackColour(Label12, QColor(255, 255, 0));
    setTextColour(Label12, QColor(255, 0, 0));
    Label12->hide();

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(1);

    setTabOrder(Combo1, Combo2);
    setTabOrder(Combo2, Command1);
    setTabOrder(Command1, Combo4);
    setTabOrder(Combo4, Combo5);
    setTabOrder(Combo5, Combo6);
    setTabOrder(Combo6, Command3);
    setTabOrder(Command3, ListView1);

    connect(Command1, &QPushButton::clicked, this, &Form7::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form7::Command3_Click);
    connect(Timer1, &QTimer::timeout, this, &Form7::Timer1_Timer);
    for (QComboBox* list : {Combo1, Combo2, Combo4, Combo5, Combo6})
        connect(list, &QComboBox::activated, this, &Form7::ClearHistory);
}

const HistoryResult& Form7::result() const
{
    return m_model->rows();
}

void Form7::Form_Load()
{
    ScreenSize(m_screenWidth, m_screenHeight);
    CentreContainer(Picture1, m_screenWidth, m_screenHeight);
    SetUpHistoryList();

    const QDate today = m_ctx.clock.now().date();
    HistoryChoices choices;
    choices.years = historyYears({}, today.year());
    choices.categories = {historyTexts::kTodas};
    guarded(m_ctx.messages, QStringLiteral("No se pudo leer el historial de recaudación."),
            [&] { choices = historyChoices(m_ctx.db, today); });
    Combo1->clear();
    Combo1->addItems(choices.dayItems());
    m_days = choices.days;
    m_tills = choices.tills;
    Combo1->setCurrentIndex(-1);
    Combo5->clear();
    Combo5->addItems(choices.years);
    Combo5->setCurrentIndex(-1);
    FillMonths();
    FillCategoryLists(choices.categories);
    ClearHistory();
}

void Form7::SetUpHistoryList()
{
    setUpReportList(ListView1, kHistoryColumns, arial(13, true), arial(10, true));
}

void Form7::FillMonths()
{
    Combo4->clear();
    Combo4->addItems(monthNames());
    Combo4->setCurrentIndex(-1);
}

void Form7::FillCategoryLists(const QStringList& categories)
{
    for (QComboBox* list : {Combo2, Combo6}) {
        list->clear();
        list->addItems(categories);
        // Every category until the cashier picks one.
        list->setCurrentIndex(list->count() - 1);
    }
}

void Form7::ClearHistory()
{
    m_model->clear();
    for (QLabel* label : {Label4, Label6, Label7, Label8, Label9, Label11})
        label->clear();
}

CategoryFilter Form7::chosenCategory(const QComboBox* list)
{
    const int index = list->currentIndex();
    // "Todas" is the last entry, so a category of that name is still one category.
    if (index < 0 || index == list->count() - 1)
        return std::nullopt;
    return list->itemText(index);
}

void Form7::Command1_Click()
{
    ClearHistory();
    if (Combo1->currentIndex() < 0) {
        m_ctx.messages.inform(historyTexts::kSinFecha);
        return;
    }
    Text1 = QStringLiteral("1");
    Label12->show();
    Timer1->start();
}

void Form7::Command3_Click()
{
    ClearHistory();
    if (Combo4->currentIndex() < 0 || Combo5->currentIndex() < 0) {
        m_ctx.messages.inform(historyTexts::kSinMes);
        return;
    }
    Text1 = QStringLiteral("2");
    Label12->show();
    Timer1->start();
}

void Form7::Timer1_Timer()
{
    // Off before the search: a message shown by a failed search must not let the timer start it
    // again while the box is open.
    Timer1->stop();
    const int mode = Text1.toInt();
    if (mode == 1)
        DailySearch();
    else if (mode == 2)
        MonthlySearch();
    else
        endSearch();
}

void Form7::DailySearch()
{
    HistoryResult found;
    if (guarded(m_ctx.messages, QStringLiteral("No se pudo consultar la recaudación del día."),
                [&] {
                    const qsizetype day = Combo1->currentIndex();
                    found = dailySearch(m_ctx.db, m_days.value(day), m_tills.value(day),
                                        chosenCategory(Combo2));
                })) {
        showResult(std::move(found));
    }
    endSearch();
}

void Form7::MonthlySearch()
{
    HistoryResult found;
    if (guarded(m_ctx.messages, QStringLiteral("No se pudo consultar la recaudación del mes."), [&] {
            found = monthlySearch(m_ctx.db, Combo4->currentText(), Combo5->currentText(),
                                  chosenCategory(Combo6));
        })) {
        showResult(std::move(found));
    }
    endSearch();
}

void Form7::showResult(HistoryResult found)
{
    m_model->setRows(std::move(found));
    const HistoryResult& shown = m_model->rows();
    Label4->setText(shown.label4);
    Label6->setText(shown.label6);
    Label7->setText(shown.label7);
    Label8->setText(shown.label8);
    Label9->setText(shown.label9);
    Label11->setText(shown.label11);
}

void Form7::endSearch()
{
    Label12->hide();
    Text1.clear();
    Timer1->stop();
}

} // namespace tarvino
