// The window kit: panel placement on every screen, key classes in every locale, child windows.
#include "app/placement.h"
#include "kit/window_kit.h"
#include "common/numbers.h"
#include "catalogue/editor_window.h"
#include "catalogue/stock_window.h"
#include "reports/history_window.h"
#include "reports/sales_detail_window.h"
#include "sales/sales_window.h"
#include "sales/search_window.h"
#include "support/sales_driver.h"

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGraphicsEffect>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <cstdlib>
#include <functional>
#include <memory>

using namespace tarvino;
using namespace tarvino::test;

namespace {
const QSize kPanel(1009, 681);

// Opens the window a list test looks at, beside the open sales window; the test owns what it
// returns unless it is the sales window itself, and null means the window did not load.
using OpenWindow = std::function<QWidget*(SalesDriver&, Form1& sales)>;

// One way a child window goes: by its button back, by Esc, by the frame, or deleted.
using CloseChild = std::function<void(QDialog* child, QPushButton* back)>;

template <typename W>
QWidget* loaded(SalesDriver& d)
{
    auto* window = new W(d.shop.context);
    window->Form_Load();
    return window;
}
} // namespace

Q_DECLARE_METATYPE(OpenWindow)
Q_DECLARE_METATYPE(CloseChild)
Q_DECLARE_METATYPE(tarvino::CallerState)

class TestWindowKit : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void panelPosition_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("viewport");
        QTest::addColumn<QPoint>("expected");
        // Where the panel fits, it stands where the rule puts it: 6832.5 and 1197 twips.
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QSize(1920, 1000) << QPoint(456, 80);
        QTest::newRow("1280x1024") << QSize(1280, 1024) << QSize(1280, 950) << QPoint(136, 69);
        // Moved up as far as needed to show its bottom.
        QTest::newRow("1024x768 short") << QSize(1024, 768) << QSize(1024, 690) << QPoint(8, 9);
        // Taller than the room: from the top, and the window scrolls.
        QTest::newRow("1366x768 taskbar") << QSize(1366, 768) << QSize(1366, 650) << QPoint(179, 0);
        QTest::newRow("800x600") << QSize(800, 600) << QSize(800, 520) << QPoint(0, 0);
    }

    void panelPosition()
    {
        QFETCH(QSize, screen);
        QFETCH(QSize, viewport);
        QFETCH(QPoint, expected);
        QCOMPARE(tarvino::panelPosition(screen, viewport, kPanel), expected);
    }

    void everyControlOfTheSalesWindowIsReachableOnASmallScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<bool>("scrolls");
        // Window frame, menu bar and a taskbar take their share of the display.
        QTest::newRow("1366x768") << QSize(1366, 768) << QSize(1366, 700) << true;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QSize(1920, 1010) << false;
    }

    void everyControlOfTheSalesWindowIsReachableOnASmallScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(QSize, window);
        QFETCH(bool, scrolls);
        SalesDriver d;
        Form1& f = d.open();
        f.showNormal();
        f.resize(window);
        CentreContainer(f.Picture1, QString::number(screen.width()), QString::number(screen.height()));
        QCoreApplication::processEvents();
        auto* host = static_cast<PanelHost*>(f.centralWidget());
        QCOMPARE(host->verticalScrollBar()->maximum() > 0, scrolls);
        if (!scrolls) {
            // The list and its heading run across the window; the entry and the total stay in
            // the middle, where the panel rule puts them.
            const int width = host->viewport()->width();
            for (QWidget* across : {static_cast<QWidget*>(f.Label13), static_cast<QWidget*>(f.ListView1)}) {
                QCOMPARE(across->mapTo(host->viewport(), QPoint(0, 0)).x(), 0);
                QCOMPARE(across->width(), width);
            }
            const int left = f.Frame2->mapTo(host->viewport(), QPoint(0, 0)).x();
            const int right = width - f.FrameTotal->mapTo(host->viewport(), QPoint(f.FrameTotal->width(), 0)).x();
            QCOMPARE(left, tarvino::panelPosition(screen, host->viewport()->size(), kPanel).x());
            QVERIFY(qAbs(left - right) <= 1);
        }
        const QList<QWidget*> controls = {f.Label13, f.ListView1, f.Check1,  f.Text7,  f.Command3,
                                          f.Text8,   f.Command1,  f.Command2, f.Label7, f.Label8};
        for (QWidget* control : controls) {
            host->ensureWidgetVisible(control, 0, 0);
            QCoreApplication::processEvents();
            const QRect shown(control->mapTo(host->viewport(), QPoint(0, 0)), control->size());
            QVERIFY2(host->viewport()->rect().contains(shown), qPrintable(control->objectName()));
        }
    }

    void keyClasses_data()
    {
        QTest::addColumn<int>("keys");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<double>("value"); // as the box is read; -1 for boxes of no decimals
        const QLocale c = QLocale::c();
        QTest::newRow("code") << int(KeyClass::Code) << kChile << 32767 << "12a,.3 -" << "123" << -1.0;
        QTest::newRow("whole") << int(KeyClass::Whole) << c << 32767 << "4.5,6" << "456" << -1.0;
        // Either mark is the decimal mark, shown as the locale writes it; a second one is refused.
        QTest::newRow("point, comma locale") << int(KeyClass::Decimal) << kChile << 8 << "2.5" << "2,5" << 2.5;
        QTest::newRow("comma, point locale") << int(KeyClass::Decimal) << c << 8 << "2,5" << "2.5" << 2.5;
        QTest::newRow("second mark, comma locale") << int(KeyClass::Decimal) << kChile << 8 << "1.5,25x" << "1,525"
                                                   << 1.525;
        QTest::newRow("second mark, point locale") << int(KeyClass::Decimal) << c << 8 << "1,5.25x" << "1.525"
                                                   << 1.525;
        QTest::newRow("thousand-like, point locale") << int(KeyClass::Decimal) << c << 8 << "1.000" << "1.000" << 1.0;
        QTest::newRow("thousand-like, comma locale") << int(KeyClass::Decimal) << kChile << 8 << "1.000" << "1,000"
                                                     << 1.0;
        // In a money box only the locale's mark is decimal; the other one (thousands) is refused.
        QTest::newRow("money, comma locale") << int(KeyClass::Money) << kChile << 8 << "10.000,5" << "10000,5" << 10000.5;
        QTest::newRow("money, point locale") << int(KeyClass::Money) << c << 8 << "1,500.25" << "1500.25" << 1500.25;
        // A 13-digit code scanned into an 8-character box.
        QTest::newRow("scan into a full box") << int(KeyClass::Decimal) << kChile << 8 << "7802000000011"
                                              << "78020000" << 78020000.0;
        QTest::newRow("user name") << int(KeyClass::UserName) << kChile << 32767 << "Ana_b 7.Z" << "nab7" << -1.0;
    }

    // Every key either goes into the box or is refused where the cashier sees it.
    void keyClasses()
    {
        QFETCH(int, keys);
        QFETCH(QLocale, locale);
        QFETCH(int, maxLength);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(double, value);
        QLocale::setDefault(locale);
        QLineEdit box;
        box.setMaxLength(maxLength);
        int entered = 0;
        installKeys(&box, KeyClass(keys), [&] { ++entered; });
        box.show();
        for (const QChar key : typed) {
            box.setGraphicsEffect(nullptr);
            const QString before = box.text();
            QTest::keyClicks(&box, QString(key));
            const bool refused = box.graphicsEffect() != nullptr;
            QVERIFY2(refused == (box.text() == before), qPrintable(QStringLiteral("key %1").arg(key)));
        }
        QCOMPARE(box.text(), kept);
        if (value >= 0)
            QCOMPARE(readNumber(box.text()), std::optional<double>(value));
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(box.text(), kept.chopped(1));
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(entered, 1);
        QCOMPARE(box.text(), kept.chopped(1));
    }

    void decimalMarkReplacesTheSelection()
    {
        QLineEdit box;
        installKeys(&box, KeyClass::Decimal);
        QTest::keyClicks(&box, QStringLiteral("1,5"));
        // Typed over, the one mark may come back in another place.
        box.setSelection(1, 2);
        QTest::keyClicks(&box, QStringLiteral("2.7"));
        QCOMPARE(box.text(), QStringLiteral("12,7"));
    }

    void columnWidths_data()
    {
        QTest::addColumn<int>("room");
        QTest::addColumn<QList<int>>("expected");
        // Columns of 0 (hidden), 1000, 3000 and 2000 twips needing 10, 40, 100 and 30 pixels.
        QTest::newRow("short: each its need, the list scrolls") << 100 << QList<int>{0, 40, 100, 30};
        QTest::newRow("exactly the needs") << 170 << QList<int>{0, 40, 100, 30};
        QTest::newRow("spare shared by twips") << 230 << QList<int>{0, 50, 130, 50};
        QTest::newRow("odd spare adds up") << 177 << QList<int>{0, 41, 103, 33};
    }
    void columnWidths()
    {
        QFETCH(int, room);
        QFETCH(QList<int>, expected);
        static const ListColumn columns[] = {{"_", 0, Qt::AlignLeft},
                                             {"Código", 1000, Qt::AlignLeft, Fits::Code},
                                             {"Nombre", 3000, Qt::AlignLeft, Fits::Name},
                                             {"Cantidad", 2000, Qt::AlignRight}};
        QCOMPARE(tarvino::columnWidths(columns, {10, 40, 100, 30}, room), expected);
    }

    void listsShowCodesAndNamesWhole_data()
    {
        QTest::addColumn<OpenWindow>("open");
        QTest::addColumn<QSize>("size");
        const std::pair<const char*, OpenWindow> windows[] = {
            {"Form1", [](SalesDriver&, Form1& sales) -> QWidget* { return &sales; }},
            {"Form2", [](SalesDriver& d, Form1&) -> QWidget* { return loaded<Form2>(d); }},
            {"Form9", [](SalesDriver& d, Form1&) -> QWidget* { return loaded<Form9>(d); }},
            {"Form7", [](SalesDriver& d, Form1&) -> QWidget* { return loaded<Form7>(d); }}};
        for (const auto& [name, open] : windows) {
            // Window frame, menu bar and a taskbar take their share of the display.
            for (const QSize size : {QSize(1366, 700), QSize(1920, 1010)})
                QTest::addRow("%s %dx%d", name, size.width(), size.height()) << open << size;
        }
        // Windows of their own size.
        QTest::newRow("Form12") << OpenWindow([](SalesDriver& d, Form1&) -> QWidget* {
            auto detail = std::make_unique<Form12>(d.shop.context);
            return detail->Form_Load() ? detail.release() : nullptr; // null: it refused to load
        }) << QSize();
        QTest::newRow("Form11") << OpenWindow([](SalesDriver&, Form1& sales) -> QWidget* { return sales.openSearch(); })
                                << QSize();
    }

    // At 1366 x 768 and up no list needs scrolling across, no title is cut and codes and names
    // show whole, so that products that differ only at the end do not look alike.
    void listsShowCodesAndNamesWhole()
    {
        QFETCH(OpenWindow, open);
        QFETCH(QSize, size);
        QCOMPARE(qstrlen(kWidestCode), size_t(13));
        QCOMPARE(qstrlen(kWidestName), size_t(40));
        SalesDriver d;
        Form1& sales = d.open();
        QWidget* shown = open(d, sales);
        QVERIFY(shown);
        std::unique_ptr<QWidget> owned(shown != &sales ? shown : nullptr);
        shown->showNormal();
        if (size.isValid())
            shown->resize(size);
        QCoreApplication::processEvents();

        const auto wholeIn = [](const QFont& font, const char* text, int width) {
            return QFontMetrics(font).horizontalAdvance(QString::fromUtf8(text)) + 6 <= width;
        };
        if (auto* search = qobject_cast<ProductSearch*>(shown)) {
            const int room = search->List1->viewport()->width() - search->List1->verticalScrollBar()->sizeHint().width();
            QVERIFY(wholeIn(search->List1->font(), kWidestName, room));
            return;
        }
        const QList<QTreeView*> lists = shown->findChildren<QTreeView*>();
        QVERIFY(!lists.isEmpty());
        for (QTreeView* list : lists) {
            QCOMPARE(list->horizontalScrollBar()->maximum(), 0);
            const int titleMargins = 2 * list->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, list->header());
            for (int c = 0; c < list->model()->columnCount(); ++c) {
                if (list->columnWidth(c) == 0)
                    continue;
                const QString title = list->model()->headerData(c, Qt::Horizontal).toString();
                QVERIFY2(QFontMetrics(list->header()->font()).horizontalAdvance(title) + titleMargins <=
                             list->columnWidth(c),
                         qPrintable(title));
                if (title == QLatin1String("Código"))
                    QVERIFY(wholeIn(list->font(), kWidestCode, list->columnWidth(c)));
                if (title == QLatin1String("Nombre"))
                    QVERIFY(wholeIn(list->font(), kWidestName, list->columnWidth(c)));
            }
        }
    }

    void arrowKeysStartAtTheFirstEntry_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("chosenBefore"); // -1: nothing chosen
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("chosenAfter");
        QTest::newRow("Down, nothing chosen") << 3 << -1 << int(Qt::Key_Down) << 0;
        QTest::newRow("Up, nothing chosen") << 3 << -1 << int(Qt::Key_Up) << 0;
        QTest::newRow("Page Down, nothing chosen") << 40 << -1 << int(Qt::Key_PageDown) << 0;
        QTest::newRow("Down, single match") << 1 << -1 << int(Qt::Key_Down) << 0;
        QTest::newRow("Down from the first") << 3 << 0 << int(Qt::Key_Down) << 1;
        QTest::newRow("Up from the last") << 3 << 2 << int(Qt::Key_Up) << 1;
        QTest::newRow("empty list") << 0 << -1 << int(Qt::Key_Down) << -1;
    }

    void arrowKeysStartAtTheFirstEntry()
    {
        QFETCH(int, rows);
        QFETCH(int, chosenBefore);
        QFETCH(int, key);
        QFETCH(int, chosenAfter);
        static const ListColumn columns[] = {{"_", 0, Qt::AlignLeft}, {"Nombre", 3000, Qt::AlignLeft}};
        QTreeView list;
        ListModel<int> model(
            columns, [](const int& count) { return qsizetype(count); },
            [](const int&, qsizetype row, int column) { return QStringLiteral("%1-%2").arg(row).arg(column); }, &list);
        model.setRows(rows);
        list.setModel(&model);
        configureList(&list, columns);
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        list.setFocus(); // the view makes its first row current, unmarked, on taking the focus
        if (chosenBefore >= 0)
            list.setCurrentIndex(model.index(chosenBefore, 1));
        QTest::keyClick(&list, Qt::Key(key));
        const QModelIndexList chosen = list.selectionModel()->selectedRows();
        QCOMPARE(chosen.isEmpty() ? -1 : chosen.first().row(), chosenAfter);
    }

    void listModelHoldsTheRowsItShows()
    {
        static const ListColumn columns[] = {{"Nombre", 3000, Qt::AlignLeft}};
        ListModel<QStringList> model(
            columns, [](const QStringList& names) { return names.size(); },
            [](const QStringList& names, qsizetype row, int) { return names[row]; }, nullptr);
        auto rows = std::make_shared<const QStringList>(QStringList{QStringLiteral("Leche"), QStringLiteral("Pan")});
        const std::weak_ptr<const QStringList> held = rows;
        model.setRows(rows);
        // The window that read the rows lets go of them: the list still shows them.
        rows.reset();
        QCOMPARE(model.data(model.index(1, 0), Qt::DisplayRole).toString(), QStringLiteral("Pan"));
        // An export takes a share of them and repaints the window as it goes; meanwhile the list
        // shows others: the export still has the rows it began with, and once it lets go nothing
        // holds them.
        std::shared_ptr<const QStringList> exported = model.sharedRows();
        model.setRows(QStringList{QStringLiteral("Queso")});
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(exported->value(1), QStringLiteral("Pan"));
        exported.reset();
        QVERIFY(held.expired());
    }

    void fixedWindowOpensCentredAndGoesWithEsc_data()
    {
        QTest::addColumn<bool>("overCaller");
        QTest::addColumn<bool>("escCloses");
        QTest::newRow("over its caller") << true << true;
        QTest::newRow("on the screen") << false << true;
        QTest::newRow("Esc left alone") << true << false;
    }

    void fixedWindowOpensCentredAndGoesWithEsc()
    {
        QFETCH(bool, overCaller);
        QFETCH(bool, escCloses);
        QWidget caller;
        caller.setGeometry(90, 70, 640, 420);
        caller.show();
        const QRect area = overCaller ? caller.geometry() : QGuiApplication::primaryScreen()->availableGeometry();
        auto* window = new QWidget;
        fixedWindow(window, "Fixed", QSize(210, 110), escCloses ? EscKey::Closes : EscKey::Ignored);
        auto* box = new QLineEdit(window);
        const QPointer<QWidget> alive(window);
        openFixed(&caller, window, CallerState::Hidden, overCaller ? CentreOn::Caller : CentreOn::Screen);
        QCOMPARE(window->size(), QSize(210, 110));
        // Its middle on the middle of the area, but for the frame's border.
        const QPoint off = window->geometry().center() - area.center();
        QVERIFY2(std::abs(off.x()) <= 4 && std::abs(off.y()) <= 4, qPrintable(QStringLiteral("off by %1, %2").arg(off.x()).arg(off.y())));
        QVERIFY(caller.isHidden());

        box->setFocus();
        QTest::keyClick(box, Qt::Key_Escape); // the box does not take Esc: it reaches the window
        flushClosedWindows();
        QCOMPARE(alive.isNull(), escCloses);
        QCOMPARE(caller.isVisible(), escCloses);
        if (alive) {
            alive->close(); // the frame button: deleted all the same
            flushClosedWindows();
            QVERIFY(alive.isNull());
            QVERIFY(caller.isVisible());
        }
    }

    void childWindowGivesItsCallerBack_data()
    {
        QTest::addColumn<CallerState>("how");
        QTest::addColumn<CloseChild>("close");
        const std::pair<const char*, CloseChild> ways[] = {
            {"button", [](QDialog*, QPushButton* back) { QTest::mouseClick(back, Qt::LeftButton); }},
            {"esc", [](QDialog* child, QPushButton*) { QTest::keyClick(child, Qt::Key_Escape); }},
            {"frame", [](QDialog* child, QPushButton*) { child->close(); }},
            {"deleted", [](QDialog* child, QPushButton*) { delete child; }}};
        for (const auto& [name, how] : {std::pair{"hidden", CallerState::Hidden}, std::pair{"disabled", CallerState::Disabled}})
            for (const auto& [way, close] : ways)
                QTest::addRow("%s, %s", name, way) << how << close;
    }

    void childWindowGivesItsCallerBack()
    {
        QFETCH(CallerState, how);
        QFETCH(CloseChild, close);
        QWidget caller;
        caller.show();
        auto* child = new QDialog;
        child->setAttribute(Qt::WA_DeleteOnClose);
        auto* back = new QPushButton(QStringLiteral("VOLVER"), child);
        connect(back, &QPushButton::clicked, child, &QDialog::close);
        int afterClose = 0;
        openChild(&caller, child, how, [&] { ++afterClose; });
        QCOMPARE(caller.isVisible(), how == CallerState::Disabled);
        QCOMPARE(caller.isEnabled(), how == CallerState::Hidden);

        close(child, back);
        flushClosedWindows();
        QVERIFY(caller.isVisible());
        QVERIFY(caller.isEnabled());
        QCOMPARE(afterClose, 1);
    }
};

QTEST_MAIN(TestWindowKit)
#include "test_window_kit.moc"
