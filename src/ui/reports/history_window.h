// The takings history: what was sold, cost and taken on one closed sales day or over one month.
#pragma once

#include "app/context.h"
#include "reports/history.h"

#include <QMainWindow>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QTreeView;

namespace tarvino {

template <typename Rows>
class ListModel;

class Form7 final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form7)

public:
    explicit Form7(Context& context, QWidget* parent = nullptr);

    // Opens the history in place of caller (hidden while the history is open).
    static Form7* open(QWidget* caller, Context& context);

    void Form_Load();
    void Command1_Click(); // daily BUSCAR
    void Command3_Click(); // monthly BUSCAR
    void Timer1_Timer();   // runs the search asked for, once the waiting notice is drawn

    void SetUpHistoryList();
    void ClearHistory();
    void FillCategoryLists(const QStringList& categories);
    void FillMonths();
    void DailySearch();
    void MonthlySearch();

    QLabel* Label2;
    QWidget* Picture1;
    QFrame* Picture3;
    QLabel* Label1;
    QComboBox* Combo1;
    QComboBox* Combo2;
    QPushButton* Command1;
    QFrame* Picture4;
    QLabel* Label3;
    QComboBox* Combo4;
    QComboBox* Combo5;
    QComboBox* Combo6;
    QPushButton* Command3;
    QTreeView* ListView1;
    QFrame* Picture2;
    QLabel* Label4;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label11;
    QLabel* Label12;
    QTimer* Timer1;

    // Hidden working field: the search waiting for the timer, "1" daily, "2" monthly, empty for none.
    QString Text1;

    // The rows and captions of the last search, as the list shows them.
    const HistoryResult& result() const;

private:
    void buildControls();
    // The category chosen in a category list: nullopt for "Todas" (the last entry) or no choice.
    static CategoryFilter chosenCategory(const QComboBox* list);
    void showResult(HistoryResult found);
    void endSearch();

    Context& m_ctx;
    ListModel<HistoryResult>* m_model;
    // The day and till of each entry of Combo1.
    QStringList m_days;
    QStringList m_tills;
    QString m_screenWidth;
    QString m_screenHeight;
};

} // namespace tarvino
