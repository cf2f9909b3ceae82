// The owner's report of the drawer's counts: every closed day of a period with its opening cash, takings, expected and counted cash and difference, with a chart of them.
#pragma once

#include "app/context.h"
#include "reports/cash_counts.h"

#include <QMainWindow>

class QChart;
class QChartView;
class QDateEdit;
class QLabel;
class QPushButton;
class QTreeView;

namespace tarvino {

template <typename Rows>
class ListModel;

class Form18 final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form18)

public:
    explicit Form18(Context& context, QWidget* parent = nullptr);

    // Opens the report in place of caller (hidden while it is open), showing the last week.
    static Form18* open(QWidget* caller, Context& context);

    void Form_Load();
    void Command1_Click(); // VER: reads the period of the date boxes

    QWidget* Picture1;
    QLabel* Label2; // banner
    QLabel* Label1; // "Desde"
    QDateEdit* DTPicker1;
    QLabel* Label3; // "Hasta"
    QDateEdit* DTPicker2;
    QPushButton* Command1;
    QTreeView* ListView1; // the days
    QTreeView* ListView2; // their totals, under the list's columns
    QLabel* Label4;       // what a day without a count is
    QChartView* Chart1;   // daily takings, cash and card stacked
    QChartView* Chart2;   // daily differences, surplus up and shortfall down

    // The days and totals shown.
    const CashCounts& result() const;

private:
    void buildControls();
    void showResult(CashCounts found);
    void drawTakings(const std::vector<DailyFigures>& daily);
    void drawDifferences(const std::vector<DailyFigures>& daily);

    Context& m_ctx;
    ListModel<CashCounts>* m_model;
    ListModel<QStringList>* m_foot;
};

} // namespace tarvino
