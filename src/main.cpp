// Tarvino: builds the real services and shows the login window.
#include "app/application.h"
#include "app/context.h"
#include "app/login_window.h"
#include "app/placement.h"
#include "app/single_copy.h"
#include "app/startup.h"
#include "common/qt_services.h"
#include "common/xlsx_spreadsheet.h"
#include "data/database.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[])
{
    tarvino::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvino"));
    QApplication::setFont(QFont(QStringLiteral("Arial"), 10));
    tarvino::useShopLocale();

    // Standard buttons in Spanish ("Aceptar", "Sí", "No").
    QTranslator qtSpanish;
    if (qtSpanish.load(QLocale(QLocale::Spanish), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtSpanish);

    tarvino::QtMessages messages;
    app.setMessages(&messages);
    tarvino::SystemClock clock;
    tarvino::QtPrinter printer;
    tarvino::XlsxSpreadsheet spreadsheet(tarvino::openWithDesktop, clock);
    const QString folder = QApplication::applicationDirPath();

    tarvino::SingleCopy lock(folder);
    if (!tarvino::singleCopyCheck(lock, messages))
        return 0;
    tarvino::Database db;
    if (!tarvino::openShopDatabase(db, folder, messages))
        return 1;

    tarvino::Context context{db, messages, clock, printer, spreadsheet};
    tarvino::Form4 login(context);
    login.show();
    return QApplication::exec();
}
