// The command line, the choice of the data folder and its check, and the real program answering
// --help and --version with no display at all.
#include "app/data_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvino;

namespace {
// Which folder the choice should come to.
enum class Chosen {
    ProgramFolder, // the program's own folder, as started
    UserFolder,    // tarvino in the user's data folder
    Asked,         // the folder asked for, made absolute
};
} // namespace

Q_DECLARE_METATYPE(tarvino::CommandLine::Action)
Q_DECLARE_METATYPE(Chosen)

class TestDataFolder : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("copyFrom");
        QTest::addColumn<QString>("errorNames");
        using A = CommandLine::Action;
        const QString none;
        QTest::newRow("nothing") << QStringList{} << A::Run << none << none << none;
        QTest::newRow("datos and folder") << QStringList{"--datos", "/srv/caja"} << A::Run
                                          << "/srv/caja" << none << none;
        QTest::newRow("datos=folder") << QStringList{"--datos=/srv/caja"} << A::Run << "/srv/caja"
                                      << none << none;
        QTest::newRow("help beside anything") << QStringList{"-platform", "xcb", "--help"}
                                              << A::Help << none << none << none;
        QTest::newRow("version") << QStringList{"--datos", "a", "--version"} << A::Version
                                 << none << none << none;
        QTest::newRow("copy, after datos")
            << QStringList{"--datos", "/srv/caja", "--copiar-a-servidor", "/media/usb/bd1"}
            << A::CopyToServer << "/srv/caja" << "/media/usb/bd1" << none;
        QTest::newRow("copy=file, before datos")
            << QStringList{"--copiar-a-servidor=bd1", "--datos=/srv/caja"} << A::CopyToServer
            << "/srv/caja" << "bd1" << none;
        QTest::newRow("folder missing") << QStringList{"--datos"} << A::Error << none << none
                                        << "--datos";
        QTest::newRow("two folders") << QStringList{"--datos", "a", "--datos", "b"} << A::Error
                                     << none << none << "--datos";
        QTest::newRow("copy without a file") << QStringList{"--copiar-a-servidor"} << A::Error
                                             << none << none << "--copiar-a-servidor";
        QTest::newRow("copy of an empty name") << QStringList{"--copiar-a-servidor="} << A::Error
                                               << none << none << "--copiar-a-servidor";
        QTest::newRow("copy followed by datos")
            << QStringList{"--copiar-a-servidor", "--datos", "/srv/caja"} << A::Error << none
            << none << "--copiar-a-servidor";
        QTest::newRow("two files to copy")
            << QStringList{"--copiar-a-servidor", "a/bd1", "--copiar-a-servidor=b/bd1"} << A::Error
            << none << none << "--copiar-a-servidor";
        QTest::newRow("misspelt option") << QStringList{"--dato", "a"} << A::Error << none << none
                                         << "--dato";
        QTest::newRow("stray word") << QStringList{"caja"} << A::Error << none << none << "caja";
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, folder);
        QFETCH(QString, copyFrom);
        QFETCH(QString, errorNames);
        const CommandLine line = readCommandLine(arguments);
        QCOMPARE(line.action, action);
        QCOMPARE(line.dataFolder, folder);
        QCOMPARE(line.copyFrom, copyFrom);
        if (errorNames.isEmpty())
            QVERIFY(line.error.isEmpty());
        else
            QVERIFY2(line.error.contains(QStringLiteral("«%1»").arg(errorNames)) &&
                         line.error.contains(QLatin1String("--help")),
                     qPrintable(line.error));
    }

    void choice_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("program"); // relative to a temporary folder
        QTest::addColumn<QString>("build");
        QTest::addColumn<Chosen>("expected");
        using C = Chosen;
        QTest::newRow("run from the build") << QString() << "build/bin" << "build/bin" << C::ProgramFolder;
        QTest::newRow("started through a link") << QString() << "enlace" << "build/bin" << C::ProgramFolder;
        QTest::newRow("installed") << QString() << "usr/bin" << "build/bin" << C::UserFolder;
        QTest::newRow("unpacked beside the build") << QString() << "build/bin/raiz/usr/bin" << "build/bin"
                                                   << C::UserFolder;
        QTest::newRow("asked, installed") << "compartida" << "usr/bin" << "build/bin" << C::Asked;
        QTest::newRow("asked, in the build") << "otra/../compartida" << "build/bin" << "build/bin" << C::Asked;
    }
    void choice()
    {
        QFETCH(QString, asked);
        QFETCH(QString, program);
        QFETCH(QString, build);
        QFETCH(Chosen, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("build/bin/raiz/usr/bin")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("usr/bin")));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("build/bin")),
                            dir.filePath(QStringLiteral("enlace"))));
        const QString userData = dir.filePath(QStringLiteral("home/.local/share"));
        const QString saved = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QString chosen =
            chooseDataFolder(asked, dir.filePath(program), dir.filePath(build), userData);
        QDir::setCurrent(saved);
        const QString folders[] = {dir.filePath(program), userData + QStringLiteral("/tarvino"),
                                   QFileInfo(dir.filePath(QDir::cleanPath(asked))).absoluteFilePath()};
        QCOMPARE(chosen, folders[int(expected)]);
    }

    // A missing folder is made, parents and all, and left without any file of the check.
    void missingFolderIsMade()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("home/.local/share/tarvino"));
        QCOMPARE(prepareDataFolder(folder), QString());
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
        QCOMPARE(prepareDataFolder(folder), QString());
    }

    void unusableFolders_data()
    {
        QTest::addColumn<QString>("folder"); // "@" stands for a temporary folder
        QTest::addColumn<QString>("cause");
        QTest::newRow("a file by that name") << "@/archivo" << "hay un archivo";
        QTest::newRow("a file on the way") << "@/archivo/tarvino" << "una parte de la ruta es un archivo";
        // Nothing can be made there, not even by the administrator.
        QTest::newRow("cannot be made") << "/proc/tarvino-datos" << "no se pudo crear";
        QTest::newRow("cannot be written") << "/proc" << "no se pueden guardar archivos";
    }
    void unusableFolders()
    {
        QFETCH(QString, folder);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("archivo")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        folder.replace(QLatin1Char('@'), dir.path());
        const QString message = prepareDataFolder(folder);
        QVERIFY2(message.contains(QStringLiteral("«%1»").arg(folder)) && message.contains(cause),
                 qPrintable(message));
        QVERIFY(QFileInfo(file.fileName()).isFile());
    }

    // Asked from a terminal with no display, the program answers and ends.
    void answersWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("answer");
        QTest::newRow("version") << QStringList{"--version"} << "Tarvino " TARVINO_VERSION "\n";
        QTest::newRow("help") << QStringList{"--help"} << "--datos CARPETA";
        QTest::newRow("help on the copy") << QStringList{"--help"} << "--copiar-a-servidor RUTA";
    }
    void answersWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, answer);
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("HOME"), home.path());
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TARVINO_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        QVERIFY2(out.contains(answer), qPrintable(out));
        // Nothing of a shop is made by asking.
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "test_data_folder.moc"
