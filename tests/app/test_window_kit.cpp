// The window kit: panel placement on every screen, key classes in every locale, child windows.
#include "app/placement.h"
#include "app/window_kit.h"
#include "sales/sales_window.h"
#include "support/sales_driver.h"

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

using namespace tarvino;
using namespace tarvino::test;

namespace {
const QSize kPanel(1009, 681);
} // namespace

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
        if (!scrolls)
            QCOMPARE(f.Picture1->pos(), tarvino::panelPosition(screen, host->viewport()->size(), kPanel));
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
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QLocale c = QLocale::c();
        QTest::newRow("code") << int(KeyClass::Code) << kChile << "12a,.3 -" << "123";
        QTest::newRow("whole") << int(KeyClass::Whole) << c << "4.5,6" << "456";
        QTest::newRow("decimal, comma locale") << int(KeyClass::Decimal) << kChile << "1.5,25x" << "15,25";
        QTest::newRow("decimal, point locale") << int(KeyClass::Decimal) << c << "1,5.25x" << "15.25";
        QTest::newRow("user name") << int(KeyClass::UserName) << kChile << "Ana_b 7.Z" << "nab7";
    }

    void keyClasses()
    {
        QFETCH(int, keys);
        QFETCH(QLocale, locale);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QLocale::setDefault(locale);
        QLineEdit box;
        int entered = 0;
        installKeys(&box, KeyClass(keys), [&] { ++entered; });
        QTest::keyClicks(&box, typed);
        QCOMPARE(box.text(), kept);
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(box.text(), kept.chopped(1));
        QTest::keyClick(&box, Qt::Key_Return);
        QCOMPARE(entered, 1);
        QCOMPARE(box.text(), kept.chopped(1));
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
        ListModel model(columns, &list);
        model.setRows(rows, [](qsizetype row, int column) { return QStringLiteral("%1-%2").arg(row).arg(column); });
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

    void childWindowGivesItsCallerBack_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("way");
        for (const auto how : {CallerState::Hidden, CallerState::Disabled}) {
            const char* name = how == CallerState::Hidden ? "hidden" : "disabled";
            for (const char* way : {"button", "esc", "frame", "deleted"})
                QTest::addRow("%s, %s", name, way) << int(how) << QString::fromLatin1(way);
        }
    }

    void childWindowGivesItsCallerBack()
    {
        QFETCH(int, how);
        QFETCH(QString, way);
        QWidget caller;
        caller.show();
        auto* child = new QDialog;
        child->setAttribute(Qt::WA_DeleteOnClose);
        auto* back = new QPushButton(QStringLiteral("VOLVER"), child);
        connect(back, &QPushButton::clicked, child, &QDialog::close);
        int afterClose = 0;
        openChild(&caller, child, CallerState(how), [&] { ++afterClose; });
        QCOMPARE(caller.isVisible(), CallerState(how) == CallerState::Disabled);
        QCOMPARE(caller.isEnabled(), CallerState(how) == CallerState::Hidden);

        if (way == QLatin1String("button"))
            QTest::mouseClick(back, Qt::LeftButton);
        else if (way == QLatin1String("esc"))
            QTest::keyClick(child, Qt::Key_Escape);
        else if (way == QLatin1String("frame"))
            child->close();
        else
            delete child;
        flushClosedWindows();
        QVERIFY(caller.isVisible());
        QVERIFY(caller.isEnabled());
        QCOMPARE(afterClose, 1);
    }
};

QTEST_MAIN(TestWindowKit)
#include "test_window_kit.moc"
