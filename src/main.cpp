// Tarvino: builds the real services and shows the login window.
#include "app/application.h"
#include "app/context.h"
#include "app/data_folder.h"
#include "app/login_window.h"
#include "app/placement.h"
#include "app/server_setting.h"
#include "app/single_copy.h"
#include "app/startup.h"
#include "app/cash_setting.h"
#include "kit/qt_services.h"
#include "common/xlsx_spreadsheet.h"
#include "data/database.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTranslator>

#include <cstdio>

namespace {

QStringList argumentsAfterName(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void say(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char* argv[])
{
    // --help and --version answer before anything needs a display.
    const tarvino::CommandLine early = tarvino::readCommandLine(argumentsAfterName(argc, argv));
    if (early.action == tarvino::CommandLine::Action::Help) {
        say(stdout, tarvino::helpText());
        return 0;
    }
    if (early.action == tarvino::CommandLine::Action::Version) {
        say(stdout, tarvino::versionText());
        return 0;
    }

    // The copy of a shop file into the server is work for a terminal: no display, no window.
    if (early.action == tarvino::CommandLine::Action::CopyToServer) {
        QCoreApplication app(argc, argv);
        const QString folder = tarvino::chooseDataFolder(
            early.dataFolder, QCoreApplication::applicationDirPath(),
            QStringLiteral(TARVINO_BUILD_FOLDER),
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
        bool copied = false;
        const QString said =
            tarvino::copyToServer(folder, early.copyFrom, QSysInfo::machineHostName(), copied);
        say(copied ? stdout : stderr, said + QLatin1Char('\n'));
        return copied ? 0 : 1;
    }

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
    // The windowing system has taken its own options out of argv by now: what is left is ours.
    const tarvino::CommandLine line = tarvino::readCommandLine(argumentsAfterName(argc, argv));
    if (line.action == tarvino::CommandLine::Action::Error) {
        say(stderr, line.error + QLatin1Char('\n'));
        messages.inform(line.error, tarvino::kAppTitle, tarvino::Messages::Icon::Critical);
        return 2;
    }
    // The program folder: where bd1, its copies and the lock live.
    const QString folder = tarvino::chooseDataFolder(
        line.dataFolder, QApplication::applicationDirPath(), QStringLiteral(TARVINO_BUILD_FOLDER),
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (const QString problem = tarvino::prepareDataFolder(folder); !problem.isEmpty()) {
        say(stderr, problem + QLatin1Char('\n'));
        messages.inform(problem, tarvino::kAppTitle, tarvino::Messages::Icon::Critical);
        return 1;
    }

    // A till of a shop with several keeps the shop's data on a server, named in tarvino.conf.
    const tarvino::ServerSettingRead server =
        tarvino::readServerSetting(folder, QSysInfo::machineHostName());
    if (!server.error.isEmpty()) {
        say(stderr, server.error + QLatin1Char('\n'));
        messages.inform(server.error, tarvino::kAppTitle, tarvino::Messages::Icon::Critical);
        return 1;
    }

    // The drawer's settings, beside the server's in tarvino.conf: a wrong line stops the start.
    const tarvino::CashSettingRead cash = tarvino::readCashSetting(folder);
    if (!cash.error.isEmpty()) {
        say(stderr, cash.error + QLatin1Char('\n'));
        messages.inform(cash.error, tarvino::kAppTitle, tarvino::Messages::Icon::Critical);
        return 1;
    }

    tarvino::SingleCopy lock(folder);
    if (!tarvino::singleCopyCheck(lock, messages))
        return 0;
    tarvino::Database db;
    const bool opened = server.setting ? tarvino::openShopServer(db, *server.setting, messages)
                                       : tarvino::openShopDatabase(db, folder, messages);
    if (!opened)
        return 1;
    // A shop with several tills: every window's title says which till this is ("TARVINO 1.0 —
    // Caja 1"), as the windowing system shows an application's display name after each title.
    if (!db.till().isEmpty())
        QApplication::setApplicationDisplayName(db.till());

    tarvino::Context context{db, messages, clock, printer, spreadsheet, folder, cash.setting};
    tarvino::Form4 login(context);
    login.show();
    return QApplication::exec();
}
