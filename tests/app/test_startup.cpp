// Start-up before the login window: opening or creating bd1, the single-copy rule and the check of
// a name and password against Usuarios.
#include "app/data_folder.h"
#include "app/single_copy.h"
#include "app/startup.h"
#include "data/backup.h"
#include "data/database.h"
#include "data/schema.h"
#include "support/small_disk.h"
#include "support/temp_shop.h"
#include "support/without_override_rights.h"
#include "users/users.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QMap>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include "data/query.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarvino;
using namespace tarvino::test;

Q_DECLARE_METATYPE(tarvino::LoginOutcome)

using tarvino::test::WithoutOverrideRights;

namespace {

QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

int pageCount(Database& db)
{
    Query pages(db, QStringLiteral("PRAGMA page_count"));
    return pages.next() ? int(pages.integer(0)) : 0;
}

// A closed bd1 with many pages of products, then of history, then of the open day; as the program
// leaves a file (journal and indexes) or as another tool makes it. Returns a page in the middle of
// each of the three parts, and the top page of the index of product names when there is one.
QMap<QString, int> makeShopFile(const QString& path, bool prepared)
{
    createDatabase(path, kDatabaseKey);
    Database db;
    db.open(path);
    if (prepared)
        prepareDatabase(db);
    QMap<QString, int> middle;
    for (const QString table : {"Productos", "Recaudacion", "Temporal"}) {
        const int before = pageCount(db);
        Transaction tx(db);
        for (int i = 0; i < 300; ++i)
            db.execute(QStringLiteral("INSERT INTO %1 (CodigoProducto, NombreProducto, Cantidad) "
                                      "VALUES ('%2', 'Producto de nombre largo número %2', 10)")
                           .arg(table)
                           .arg(i));
        tx.commit();
        db.execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        middle[table] = (before + pageCount(db)) / 2;
    }
    Query index(db, QStringLiteral("select rootpage from sqlite_master where name = "
                                   "'idx_Productos_NombreProducto'"));
    if (index.next())
        middle[QStringLiteral("idx_Productos_NombreProducto")] = int(index.integer(0));
    return middle;
}

// Changes bytes in the middle of a page of 1024 bytes (1 is the first page).
void damagePage(const QString& path, int page)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(qint64(page - 1) * 1024 + 300));
    file.write(QByteArray(64, '\x5a'));
}

// What a test leaves at bd1's place for the start to refuse.
enum class BadFile {
    WrongKey,       // a database under another key
    Garbage,        // 4 KB of bytes that are no database
    Empty,          // a file of no bytes
    NoUsersTable,   // the program's key, but Usuarios dropped
    TextDateColumn, // TipoPago's FechaCierre declared TEXT
    Unencrypted,    // a plain SQLite database
    Folder,         // a folder named bd1
    Damaged,        // a large file with a page of its history overwritten
    Sound,          // a good file: refused only for the rights taken from it (see Rights)
};

// The rights a test takes away before the start, as an ordinary user would lack them.
enum class Rights { All, NoReadingTheFile, NoWritingTheFile, NoWritingInTheFolder };

// What a test leaves at the lock's place: lockPath, and a process it may start meanwhile.
using LeaveAtLock = std::function<void(const QString& lockPath, QProcess& started)>;

// Puts at linkPath what leads to target (see lockThatIsALinkIsRefused).
using LinkMaker = int (*)(const QString& target, const QString& linkPath);

} // namespace

Q_DECLARE_METATYPE(BadFile)
Q_DECLARE_METATYPE(Rights)
Q_DECLARE_METATYPE(LeaveAtLock)
Q_DECLARE_METATYPE(LinkMaker)

namespace {

void makeBadFile(const QString& path, BadFile kind)
{
    switch (kind) {
    case BadFile::WrongKey:
        createDatabase(path, QStringLiteral("QmK428"));
        return;
    case BadFile::NoUsersTable:
    case BadFile::TextDateColumn: {
        createDatabase(path, kDatabaseKey);
        Database db;
        db.open(path);
        db.execute(kind == BadFile::NoUsersTable
                       ? QStringLiteral("DROP TABLE Usuarios")
                       : QStringLiteral("DROP TABLE TipoPago; CREATE TABLE TipoPago (FechaInicio DATETIME,"
                                        " efectivo REAL, tarjeta REAL, CajaInicial INTEGER, FechaCierre TEXT)"));
        return;
    }
    case BadFile::Unencrypted: {
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw, "CREATE TABLE Usuarios (NombreUsuario TEXT)", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(raw);
        return;
    }
    case BadFile::Folder:
        QVERIFY(QDir().mkdir(path));
        return;
    case BadFile::Damaged:
        damagePage(path, makeShopFile(path, false)[QStringLiteral("Recaudacion")]);
        return;
    case BadFile::Sound:
        createDatabase(path, kDatabaseKey);
        return;
    case BadFile::Garbage:
    case BadFile::Empty: {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (kind == BadFile::Garbage)
            file.write(QByteArray(4096, '\x5a'));
        return;
    }
    }
}

// Takes away from path, or from folder, the rights that rights names.
void takeAway(Rights rights, const QString& path, const QString& folder)
{
    switch (rights) {
    case Rights::All:
        return;
    case Rights::NoReadingTheFile:
        QFile::setPermissions(path, QFileDevice::WriteOwner);
        return;
    case Rights::NoWritingTheFile:
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        return;
    case Rights::NoWritingInTheFolder:
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        return;
    }
}

// A note at the lock's place as an earlier run would have left it, written an hour ago.
void leaveOldNote(const QString& lockPath, const QByteArray& note)
{
    QFile file(lockPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(note);
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    QVERIFY(file.setFileTime(hourAgo, QFileDevice::FileModificationTime));
}

// The note a copy of the program writes into its lock: its process, name and machine.
QByteArray noteOf(qint64 pid, const QByteArray& program = QCoreApplication::applicationName().toUtf8(),
                  const QByteArray& host = QSysInfo::machineHostName().toUtf8())
{
    return QByteArray::number(pid) + '\n' + program + '\n' + host + '\n';
}

int symbolicLink(const QString& target, const QString& linkPath)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(linkPath).constData());
}

int hardLink(const QString& target, const QString& linkPath)
{
    return ::link(QFile::encodeName(target).constData(), QFile::encodeName(linkPath).constData());
}

int pipeInstead(const QString&, const QString& linkPath)
{
    return ::mkfifo(QFile::encodeName(linkPath).constData(), 0644);
}

// Two copies of a shop's file at path, made as its closings make them: the older knows the user
// "ana", the newest also "beto". Returns their paths, newest first; path itself is removed.
QStringList makeCopies(const QString& path)
{
    createDatabase(path, kDatabaseKey);
    Database db;
    db.open(path);
    prepareDatabase(db);
    QStringList made;
    for (const QString user : {"ana", "beto"}) {
        db.execute(QStringLiteral("INSERT INTO Usuarios (NombreUsuario, \"Contraseña\") VALUES "
                                  "('%1', '%2')")
                       .arg(user, user.left(1) + QStringLiteral("1")));
        made.prepend(backUpDatabase(db, QDateTime(QDate(2026, 3, 9), QTime(9, 5, 7))).path);
    }
    db.close();
    QFile::remove(path);
    return made;
}

// The holder of a lock in another process: this same test program, started with the folder in
// TARVINO_HOLD_LOCK_IN (see main), holds the lock until its input closes.
class LockHolder {
public:
    explicit LockHolder(const QString& folder)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TARVINO_HOLD_LOCK_IN"), folder);
        m_process.setProcessEnvironment(env);
        m_process.start(QCoreApplication::applicationFilePath(), {});
    }
    ~LockHolder()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    // True when the other process reports that it holds the lock.
    bool holding()
    {
        while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
        }
        return m_process.readLine().trimmed() == "held";
    }
    qint64 pid() const { return m_process.processId(); }
    void endNormally()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished();
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

void checkSecondCopyMessage(const FakeMessages& messages)
{
    QCOMPARE(messages.boxes.size(), 1);
    QCOMPARE(messages.boxes[0].kind, FakeMessages::Box::Inform);
    QCOMPARE(messages.boxes[0].text, QStringLiteral("ERROR : \rEl programa ya está en ejecución"));
    QCOMPARE(messages.boxes[0].title, QStringLiteral("Tarvino 1.0 - Error de ingreso"));
    QCOMPARE(messages.boxes[0].icon, Messages::Icon::Exclamation);
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void missingFileAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("declined") << false;
        QTest::newRow("accepted") << true;
    }
    void missingFileAsksFirst()
    {
        QFETCH(bool, yes);
        QTemporaryDir dir;
        FakeMessages messages;
        messages.answer(yes);
        Database db;
        QCOMPARE(openShopDatabase(db, dir.path(), messages), yes);

        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].kind, FakeMessages::Box::Ask);
        QVERIFY(messages.boxes[0].text.contains(dir.filePath(QStringLiteral("bd1"))));
        QCOMPARE(db.isOpen(), yes);
        if (!yes) {
            QCOMPARE(folderEntries(dir.path()), QStringList());
            return;
        }
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("bd1"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("bd1.nuevo"))));
        QCOMPARE(checkLogin(db, QStringLiteral("admin"), QStringLiteral("admin")).outcome,
                 LoginOutcome::Success);
    }

    // A file refused for what it holds: the newest copy is offered; yes puts it in bd1's place
    // and the start goes on with it, bd1 and its journal set aside whole; no changes nothing.
    void refusedFileOffersTheNewestCopy_data()
    {
        QTest::addColumn<BadFile>("made");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("journal"); // a journal beside bd1 (refused before the engine reads it)
        QTest::newRow("empty, put back") << BadFile::Empty << "el archivo está vacío" << true << true;
        QTest::newRow("empty, declined") << BadFile::Empty << "el archivo está vacío" << false << true;
        QTest::newRow("unencrypted, put back")
            << BadFile::Unencrypted << "base de datos sin contraseña" << true << true;
        QTest::newRow("another key, put back")
            << BadFile::WrongKey << "la contraseña no corresponde" << true << false;
        QTest::newRow("damaged, found while preparing it")
            << BadFile::Damaged << "está dañada" << true << false;
        QTest::newRow("missing table, declined")
            << BadFile::NoUsersTable << "falta la tabla Usuarios" << false << false;
    }
    void refusedFileOffersTheNewestCopy()
    {
        QFETCH(BadFile, made);
        QFETCH(QString, cause);
        QFETCH(bool, yes);
        QFETCH(bool, journal);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        const QStringList copies = makeCopies(path);
        makeBadFile(path, made);
        const QString journalPath = path + QStringLiteral("-wal");
        if (journal) {
            QFile file(journalPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("cambios de otro archivo");
        }
        const QByteArray before = fileHash(path);
        const QByteArray journalBefore = fileHash(journalPath);
        const QStringList folderBefore = folderEntries(dir.path());
        const QByteArray newestBefore = fileHash(copies.first());

        FakeMessages messages;
        messages.answer(yes);
        Database db;
        const bool started = openShopDatabase(db, dir.path(), messages);
        QCOMPARE(started, yes);
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].kind, FakeMessages::Box::Ask);
        const QString question = messages.boxes[0].text;
        QVERIFY2(question.contains(path) && question.contains(cause) &&
                     question.contains(copies.first()) && question.contains(QStringLiteral("bd1-apartado-1")),
                 qPrintable(question));
        if (!yes) {
            QVERIFY(!db.isOpen());
            QCOMPARE(folderEntries(dir.path()), folderBefore);
            QCOMPARE(fileHash(path), before);
            QCOMPARE(fileHash(journalPath), journalBefore);
            return;
        }
        QVERIFY(db.isOpen());
        QCOMPARE(checkLogin(db, QStringLiteral("beto"), QStringLiteral("b1")).outcome,
                 LoginOutcome::Success);
        db.close();
        db.setWriteGuard({});
        QCOMPARE(fileHash(dir.filePath(QStringLiteral("bd1-apartado-1"))), before);
        QCOMPARE(fileHash(dir.filePath(QStringLiteral("bd1-apartado-1-wal"))), journalBefore);
        QVERIFY(!QFileInfo::exists(journalPath) || QFileInfo(journalPath).size() == 0);
        QCOMPARE(fileHash(copies.first()), newestBefore);
        QCOMPARE(backupsNewestFirst(path).size(), copies.size());
    }

    // A copy that proves unusable when put back leads to the next older one; when none can be
    // used the program says so and stops, with bd1 as it was.
    void unusableCopyLeadsToTheOlderOne_data()
    {
        QTest::addColumn<bool>("olderUsable");
        QTest::newRow("older copy usable") << true;
        QTest::newRow("no copy usable") << false;
    }
    void unusableCopyLeadsToTheOlderOne()
    {
        QFETCH(bool, olderUsable);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        const QStringList copies = makeCopies(path);
        for (const QString& copy : olderUsable ? copies.mid(0, 1) : copies) {
            QFile file(copy);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write(QByteArray(4096, '\x5a'));
        }
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));

        FakeMessages messages;
        messages.answer(true);
        messages.answer(true);
        Database db;
        const bool started = openShopDatabase(db, dir.path(), messages);
        QCOMPARE(started, olderUsable);
        QCOMPARE(messages.unexpectedQuestions, 0);
        QCOMPARE(messages.boxes.size(), olderUsable ? 2 : 3);
        const QString second = messages.boxes[1].text;
        QVERIFY2(second.contains(copies[0]) && second.contains(copies[1]), qPrintable(second));
        for (const QString& copy : copies)
            QVERIFY(QFileInfo::exists(copy));
        if (!olderUsable) {
            QCOMPARE(messages.boxes[2].kind, FakeMessages::Box::Inform);
            QVERIFY2(messages.lastText().contains(QStringLiteral("Ninguna copia de respaldo")),
                     qPrintable(messages.lastText()));
            QCOMPARE(QFileInfo(path).size(), 0);
            QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("bd1-apartado-1"))));
            return;
        }
        QCOMPARE(checkLogin(db, QStringLiteral("ana"), QStringLiteral("a1")).outcome,
                 LoginOutcome::Success);
        QCOMPARE(checkLogin(db, QStringLiteral("beto"), QStringLiteral("b1")).outcome,
                 LoginOutcome::UnknownName);
        QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("bd1-apartado-1"))).size(), 0);
    }

    // A missing bd1 with copies: the newest is offered first; declined, a new empty file, whose
    // closings never remove the copies of the old one.
    void missingFileWithCopies_data()
    {
        QTest::addColumn<QList<bool>>("answers");
        QTest::newRow("newest put back") << QList<bool>{true};
        QTest::newRow("new empty file") << QList<bool>{false, true};
        QTest::newRow("neither") << QList<bool>{false, false};
    }
    void missingFileWithCopies()
    {
        QFETCH(QList<bool>, answers);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        const QStringList copies = makeCopies(path);
        const QStringList folderBefore = folderEntries(dir.path());
        QMap<QString, QByteArray> copiesBefore;
        for (const QString& copy : copies)
            copiesBefore[QFileInfo(copy).fileName()] = fileHash(copy);

        FakeMessages messages;
        for (bool answer : answers)
            messages.answer(answer);
        Database db;
        const bool started = openShopDatabase(db, dir.path(), messages);
        QCOMPARE(started, answers.last());
        QCOMPARE(messages.unexpectedQuestions, 0);
        QCOMPARE(messages.boxes.size(), answers.size());
        QVERIFY2(messages.boxes[0].text.contains(copies.first()), qPrintable(messages.boxes[0].text));
        if (!started) {
            QCOMPARE(folderEntries(dir.path()), folderBefore);
            QCOMPARE(backupsNewestFirst(path).size(), copies.size());
            return;
        }
        if (answers.size() == 1) {
            QCOMPARE(checkLogin(db, QStringLiteral("beto"), QStringLiteral("b1")).outcome,
                     LoginOutcome::Success);
            QCOMPARE(backupsNewestFirst(path).size(), copies.size());
            return;
        }
        QCOMPARE(checkLogin(db, QStringLiteral("beto"), QStringLiteral("b1")).outcome,
                 LoginOutcome::UnknownName);
        const QString aside = dir.filePath(QStringLiteral("respaldos-anteriores-1"));
        QVERIFY2(messages.lastText().contains(aside), qPrintable(messages.lastText()));
        // The new shop's closings, with fewer copies kept than the old folder holds.
        for (int day = 0; day < 3; ++day)
            backUpDatabase(db, QDateTime(QDate(2026, 4, 1 + day), QTime(9, 0)), 1);
        QCOMPARE(backupsNewestFirst(path).size(), 1);
        for (auto it = copiesBefore.cbegin(); it != copiesBefore.cend(); ++it)
            QCOMPARE(fileHash(QDir(aside).filePath(it.key())), it.value());
    }

    void unusableFileIsReportedOnce_data()
    {
        QTest::addColumn<BadFile>("made");
        QTest::addColumn<Rights>("rights");
        QTest::addColumn<QString>("cause");
        QTest::newRow("wrong key") << BadFile::WrongKey << Rights::All << "la contraseña no corresponde";
        QTest::newRow("garbage") << BadFile::Garbage << Rights::All << "no es una base de datos del programa";
        QTest::newRow("missing table") << BadFile::NoUsersTable << Rights::All << "falta la tabla Usuarios";
        QTest::newRow("empty file") << BadFile::Empty << Rights::All << "el archivo está vacío";
        QTest::newRow("folder") << BadFile::Folder << Rights::All << "hay una carpeta, no un archivo";
        QTest::newRow("unencrypted") << BadFile::Unencrypted << Rights::All << "base de datos sin contraseña";
        QTest::newRow("date column of type TEXT")
            << BadFile::TextDateColumn << Rights::All
            << "la columna FechaCierre es de tipo TEXT y debe ser de tipo DATETIME";
        QTest::newRow("file not readable")
            << BadFile::Sound << Rights::NoReadingTheFile << "no hay permiso para leer el archivo";
        QTest::newRow("file not writable")
            << BadFile::Sound << Rights::NoWritingTheFile << "no hay permiso para escribir en el archivo";
        QTest::newRow("folder not writable")
            << BadFile::Sound << Rights::NoWritingInTheFolder << "no hay permiso para escribir en la carpeta";
    }
    void unusableFileIsReportedOnce()
    {
        QFETCH(BadFile, made);
        QFETCH(Rights, rights);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        makeBadFile(path, made);
        const QByteArray before = fileHash(path);
        std::unique_ptr<WithoutOverrideRights> ordinaryUser;
        if (rights != Rights::All) {
            takeAway(rights, path, dir.path());
            ordinaryUser = std::make_unique<WithoutOverrideRights>();
            if (!ordinaryUser->active()) {
                ordinaryUser.reset();
                QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner);
                QSKIP("cannot give up the rights of root here");
            }
        }

        FakeMessages messages;
        Database db;
        const bool opened = openShopDatabase(db, dir.path(), messages);
        ordinaryUser.reset();
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(!opened);
        QVERIFY(!db.isOpen());
        QCOMPARE(messages.boxes.size(), 1);
        const FakeMessages::Box& box = messages.boxes[0];
        QCOMPARE(box.kind, FakeMessages::Box::Inform);
        QCOMPARE(box.icon, Messages::Icon::Critical);
        QVERIFY2(box.text.contains(path), qPrintable(box.text));
        QVERIFY2(box.text.contains(cause), qPrintable(box.text));
        QCOMPARE(fileHash(path), before);
        QCOMPARE(folderEntries(dir.path()),
                 made == BadFile::Folder ? QStringList() : QStringList{QStringLiteral("bd1")});
    }

    // A damaged file is refused whatever part is damaged, with the newest copy named, and nothing
    // is written into it: not a write of the run, not the journal a crash left beside it.
    void damagedFileIsNeverWrittenTo_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<bool>("prepared");
        QTest::addColumn<bool>("crashJournal");
        QTest::addColumn<bool>("copies");
        QTest::newRow("products") << "Productos" << true << false << true;
        QTest::newRow("history, no copies") << "Recaudacion" << true << false << false;
        QTest::newRow("open day") << "Temporal" << true << false << true;
        QTest::newRow("index") << "idx_Productos_NombreProducto" << true << false << true;
        QTest::newRow("journal left by a crash") << "Recaudacion" << true << true << true;
        QTest::newRow("never prepared") << "Productos" << false << false << true;
        QTest::newRow("first page") << "first" << true << false << true;
        QTest::newRow("whole file") << "" << true << true << true;
    }
    void damagedFileIsNeverWrittenTo()
    {
        QFETCH(QString, part);
        QFETCH(bool, prepared);
        QFETCH(bool, crashJournal);
        QFETCH(bool, copies);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        const QMap<QString, int> middle = makeShopFile(path, prepared);
        if (crashJournal) {
            // A till stopped with a change still in the journal: the file and its journal as it
            // left them.
            QTemporaryDir running;
            const QString other = running.filePath(QStringLiteral("bd1"));
            QVERIFY(QFile::copy(path, other));
            Database till;
            till.open(other);
            till.execute(QStringLiteral("PRAGMA wal_autocheckpoint = 0; "
                                        "INSERT INTO Usuarios (NombreUsuario) VALUES ('caja2')"));
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::copy(other, path));
            QVERIFY(QFile::copy(other + QStringLiteral("-wal"), path + QStringLiteral("-wal")));
        }
        if (!part.isEmpty())
            damagePage(path, part == QLatin1String("first") ? 1 : middle[part]);
        const QString folder = dir.filePath(QStringLiteral("respaldos"));
        if (copies) {
            QVERIFY(QDir().mkpath(folder));
            for (const char* name :
                 {"bd1-2026-03-08_09-00-00", "bd1-2026-02-28_21-30-05", "bd1-otra"})
                QVERIFY(
                    QFile(QDir(folder).filePath(QLatin1String(name))).open(QIODevice::WriteOnly));
        }
        const QByteArray before = fileHash(path);
        const QByteArray journalBefore = fileHash(path + QStringLiteral("-wal"));

        FakeMessages messages;
        Database db;
        const bool started = openShopDatabase(db, dir.path(), messages);
        QCOMPARE(started, part.isEmpty());
        db.close();
        const QString refusal = messages.lastText();
        if (part.isEmpty()) {
            QCOMPARE(refusal, QString());
            QVERIFY(messages.boxes.isEmpty());
            return;
        }
        // One box: with copies there, the offer of the newest copy, answered no.
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].kind,
                 copies ? FakeMessages::Box::Ask : FakeMessages::Box::Inform);
        QVERIFY2(refusal.contains(path) && refusal.contains(QStringLiteral("dañad")),
                 qPrintable(refusal));
        const QString newest =
            copies ? QStringLiteral("La copia de respaldo más reciente es «%1»")
                         .arg(QDir(folder).filePath(QStringLiteral("bd1-2026-03-08_09-00-00")))
                   : QStringLiteral("No hay copias de respaldo");
        QVERIFY2(refusal.contains(newest), qPrintable(refusal));
        QCOMPARE(fileHash(path), before);
        // The journal keeps what it held; an empty one may be left where there was none.
        const QByteArray journalAfter = fileHash(path + QStringLiteral("-wal"));
        QVERIFY(journalAfter == journalBefore ||
                (journalBefore.isEmpty() && QFileInfo(path + QStringLiteral("-wal")).size() == 0));
    }

    // A link planted at a name the program writes is never written through: the file it leads to
    // keeps its bytes, and one at a journal's name is refused, named.
    void plantedLinkIsNeverWrittenThrough_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("the folder's write check") << ".tarvino-prueba";
        QTest::newRow("the journal") << "bd1-wal";
        QTest::newRow("the journal's index") << "bd1-shm";
    }
    void plantedLinkIsNeverWrittenThrough()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        createDatabase(dir.filePath(QStringLiteral("bd1")), kDatabaseKey);
        const QString other = dir.filePath(QStringLiteral("otra-tienda"));
        createDatabase(other, kDatabaseKey);
        const QByteArray before = fileHash(other);
        QVERIFY(QFile::link(other, dir.filePath(name)));
        FakeMessages messages;
        Database db;
        if (prepareDataFolder(dir.path()).isEmpty() && openShopDatabase(db, dir.path(), messages))
            db.execute(QStringLiteral("INSERT INTO Usuarios (NombreUsuario) VALUES ('x')"));
        db.close();
        QCOMPARE(fileHash(other), before);
        QCOMPARE(messages.lastText().contains(name + "» es un enlace"), name.startsWith("bd1"));
    }

    // bd1 and all made beside it are the owner's alone, or also the group's when the folder is
    // setgid or group-writable, whatever the umask; a file of an earlier version is narrowed.
    void filesTakeTheFolderModes_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<bool>("earlierFile");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("copiesMode");
        QTest::newRow("own folder, new file") << 0755 << false << 0600 << 0700;
        QTest::newRow("setgid folder, new file") << 02770 << false << 0660 << 02770;
        QTest::newRow("group folder, earlier file") << 0770 << true << 0660 << 02770;
    }
    void filesTakeTheFolderModes()
    {
        QFETCH(int, folderMode);
        QFETCH(bool, earlierFile);
        QFETCH(int, fileMode);
        QFETCH(int, copiesMode);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), mode_t(folderMode)), 0);
        const mode_t savedMask = ::umask(022);
        if (earlierFile) {
            createDatabase(path, kDatabaseKey);
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);
        }
        FakeMessages messages;
        messages.answer(true); // a new file
        SingleCopy lock(dir.path());
        Database db;
        QVERIFY(prepareDataFolder(dir.path()).isEmpty() &&
                lock.acquire() == SingleCopy::Result::Acquired &&
                openShopDatabase(db, dir.path(), messages));
        db.execute(QStringLiteral("INSERT INTO Usuarios (NombreUsuario) VALUES ('x')"));
        const QString copy = backUpDatabase(db, QDateTime(QDate(2026, 3, 9), QTime(9, 5, 7))).path;
        const auto mode = [](const QString& file) {
            struct stat st {};
            const bool found = ::lstat(QFile::encodeName(file).constData(), &st) == 0;
            return found ? int(st.st_mode & 07777) : -1;
        };
        for (const QString& file : {path + QStringLiteral("-wal"), path + QStringLiteral("-shm"),
                                    path + QStringLiteral(".lock"), copy, path})
            QVERIFY2(mode(file) == fileMode, qPrintable(file));
        QCOMPARE(mode(backupFolder(path)), copiesMode);
        db.close();
        putBackCopy(path, copy); // in bd1's place with the same mode
        QCOMPARE(mode(path), fileMode);
        ::umask(savedMask);
    }

    // A full disk at start names itself, whether the lock or the database meets it first.
    void fullDiskAtStart_data()
    {
        QTest::addColumn<bool>("lockMadeBefore");
        QTest::newRow("lock made on the full disk") << false;
        QTest::newRow("lock left from before") << true;
    }
    void fullDiskAtStart()
    {
        QFETCH(bool, lockMadeBefore);
        SmallDisk disk;
        if (!disk.mounted())
            QSKIP("cannot mount a small disk here (needs root)");
        createDatabase(QDir(disk.path()).filePath(QStringLiteral("bd1")), kDatabaseKey);
        if (lockMadeBefore) {
            QFile lock(QDir(disk.path()).filePath(QStringLiteral("bd1.lock")));
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write("12345\ntarvino\ncaja\n");
        }
        QVERIFY(disk.fill());

        // As main does: the single-copy rule, then the database.
        FakeMessages messages;
        SingleCopy lock(disk.path());
        Database db;
        const bool started = singleCopyCheck(lock, messages) &&
                             openShopDatabase(db, disk.path(), messages);
        QVERIFY(!started);
        QCOMPARE(messages.boxes.size(), 1);
        QVERIFY2(messages.lastText().contains(QStringLiteral("el disco está lleno")),
                 qPrintable(messages.lastText()));
        QVERIFY2(messages.lastText().contains(lockMadeBefore ? QStringLiteral("base de datos")
                                                             : QStringLiteral("bd1.lock")),
                 qPrintable(messages.lastText()));
    }

    void secondCopyIsRefused()
    {
        QTemporaryDir dir;
        FakeMessages messages;
        auto first = std::make_unique<SingleCopy>(dir.path());
        QVERIFY(singleCopyCheck(*first, messages));
        QVERIFY(messages.boxes.isEmpty());

        SingleCopy second(dir.path());
        QVERIFY(!singleCopyCheck(second, messages));
        checkSecondCopyMessage(messages);
        // The refused copy leaves the running one's lock alone.
        QVERIFY(!singleCopyCheck(second, messages));
        QVERIFY(singleCopyCheck(*first, messages));
        QCOMPARE(messages.boxes.size(), 2);

        first.reset();
        QCOMPARE(folderEntries(dir.path()), QStringList());
        SingleCopy third(dir.path());
        QVERIFY(singleCopyCheck(third, messages));
        QCOMPARE(messages.boxes.size(), 2);
    }

    // A copy running in another process blocks a start until it ends, normally or not.
    void copyInAnotherProcess_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("ends normally") << false;
        QTest::newRow("killed") << true;
    }
    void copyInAnotherProcess()
    {
        QFETCH(bool, killed);
        QTemporaryDir dir;
        LockHolder other(dir.path());
        QVERIFY(other.holding());

        FakeMessages messages;
        {
            SingleCopy copy(dir.path());
            QVERIFY(!singleCopyCheck(copy, messages));
            checkSecondCopyMessage(messages);
        }
        QFile note(dir.filePath(QStringLiteral("bd1.lock")));
        QVERIFY(note.open(QIODevice::ReadOnly));
        QCOMPARE(note.readLine().trimmed().toLongLong(), other.pid());
        note.close();

        if (killed)
            other.kill();
        else
            other.endNormally();
        QCOMPARE(QFile::exists(note.fileName()), killed);
        SingleCopy copy(dir.path());
        QVERIFY(singleCopyCheck(copy, messages));
        QCOMPARE(messages.boxes.size(), 1);
    }

    // A copy of the program that locks with QLockFile holds the same system lock.
    void lockHeldByQLockFile()
    {
        QTemporaryDir dir;
        QLockFile held(dir.filePath(QStringLiteral("bd1.lock")));
        QVERIFY(held.tryLock(0));
        FakeMessages messages;
        SingleCopy copy(dir.path());
        QVERIFY(!singleCopyCheck(copy, messages));
        checkSecondCopyMessage(messages);
    }

    // Whatever lies at the lock's place, if no running copy holds it, a start goes on.
    void lockNobodyHoldsIsTakenOver_data()
    {
        QTest::addColumn<LeaveAtLock>("leave");
        QTest::newRow("empty file an hour old")
            << LeaveAtLock([](const QString& lock, QProcess&) { leaveOldNote(lock, {}); });
        QTest::newRow("garbage") << LeaveAtLock([](const QString& lock, QProcess&) {
            leaveOldNote(lock, QByteArray("\x01\xff\x00 basura sin sentido\n").repeated(50));
        });
        QTest::newRow("note of a process that ended") << LeaveAtLock([](const QString& lock, QProcess&) {
            QProcess done;
            done.start(QStringLiteral("/bin/true"), {});
            QVERIFY(done.waitForFinished());
            leaveOldNote(lock, noteOf(done.processId()));
        });
        QTest::newRow("note of a running process that is not the program")
            << LeaveAtLock([](const QString& lock, QProcess& started) {
                   started.start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")});
                   QVERIFY(started.waitForStarted());
                   leaveOldNote(lock, noteOf(started.processId(), "sleep"));
               });
        QTest::newRow("note naming this very process") << LeaveAtLock([](const QString& lock, QProcess&) {
            leaveOldNote(lock, noteOf(QCoreApplication::applicationPid()));
        });
        QTest::newRow("note from another machine") << LeaveAtLock([](const QString& lock, QProcess&) {
            leaveOldNote(lock, "4242\ntarvino\notra-caja\n");
        });
        QTest::newRow("empty folder") << LeaveAtLock([](const QString& lock, QProcess&) {
            QVERIFY(QDir().mkdir(lock));
        });
    }
    void lockNobodyHoldsIsTakenOver()
    {
        QFETCH(LeaveAtLock, leave);
        QTemporaryDir dir;
        const QString lockPath = dir.filePath(QStringLiteral("bd1.lock"));
        QProcess sleeper;
        leave(lockPath, sleeper);
        if (QTest::currentTestFailed())
            return;

        FakeMessages messages;
        {
            SingleCopy copy(dir.path());
            QVERIFY(singleCopyCheck(copy, messages));
            QVERIFY2(messages.boxes.isEmpty(), qPrintable(messages.lastText()));
            QFile note(lockPath);
            QVERIFY(note.open(QIODevice::ReadOnly));
            QCOMPARE(note.readAll(), noteOf(QCoreApplication::applicationPid()));
            // Taken over, the lock keeps out a second copy like any other.
            SingleCopy second(dir.path());
            QVERIFY(!singleCopyCheck(second, messages));
        }
        sleeper.kill();
        sleeper.waitForFinished();
        QCOMPARE(QFileInfo::exists(lockPath), false);
    }

    // A folder with files at the lock's place is not the program's to remove.
    void folderInTheWayIsReported()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bd1.lock")));
        QFile inside(dir.filePath(QStringLiteral("bd1.lock/notas.txt")));
        QVERIFY(inside.open(QIODevice::WriteOnly));
        inside.write("no borrar");
        inside.close();

        FakeMessages messages;
        SingleCopy copy(dir.path());
        QVERIFY(!singleCopyCheck(copy, messages));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].icon, Messages::Icon::Critical);
        QCOMPARE(messages.lastText(),
                 QStringLiteral("No se pudo preparar el archivo «%1», que impide abrir el programa dos "
                                "veces a la vez: con ese nombre hay una carpeta que contiene archivos; "
                                "muévala a otro lugar o bórrela y vuelva a abrir el programa.\n\n"
                                "El programa se cerrará.")
                     .arg(dir.filePath(QStringLiteral("bd1.lock"))));
        QVERIFY(inside.open(QIODevice::ReadOnly));
        QCOMPARE(inside.readAll(), QByteArray("no borrar"));
    }

    // A link at the lock's place is refused and the file behind it keeps every byte: the note of
    // the lock would otherwise overwrite the beginning of whatever it leads to, bd1 included.
    void lockThatIsALinkIsRefused_data()
    {
        QTest::addColumn<LinkMaker>("make");
        QTest::addColumn<QString>("target"); // "bd1" beside the lock; any other name in another folder
        QTest::addColumn<QString>("cause");
        QTest::newRow("symbolic link to bd1") << &symbolicLink << "bd1" << "es un enlace";
        QTest::newRow("symbolic link to another file") << &symbolicLink << "notas.txt" << "es un enlace";
        QTest::newRow("symbolic link to nothing") << &symbolicLink << "nada" << "es un enlace";
        QTest::newRow("second name of bd1") << &hardLink << "bd1" << "tiene también otro nombre";
        QTest::newRow("pipe") << &pipeInstead << "bd1" << "no es un archivo común";
    }
    void lockThatIsALinkIsRefused()
    {
        QFETCH(LinkMaker, make);
        QFETCH(QString, target);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        const QString lockPath = dir.filePath(QStringLiteral("bd1.lock"));
        const QString bd1 = dir.filePath(QStringLiteral("bd1"));
        createDatabase(bd1, kDatabaseKey);
        const QString other = elsewhere.filePath(QStringLiteral("notas.txt"));
        QFile otherFile(other);
        QVERIFY(otherFile.open(QIODevice::WriteOnly));
        otherFile.write("no tocar: datos de otra cosa\n");
        otherFile.close();
        QCOMPARE(make(target == QLatin1String("bd1") ? bd1 : elsewhere.filePath(target), lockPath), 0);
        const QByteArray bd1Before = fileHash(bd1);
        const QByteArray otherBefore = fileHash(other);

        FakeMessages messages;
        {
            SingleCopy copy(dir.path());
            QVERIFY(!singleCopyCheck(copy, messages));
        }
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].icon, Messages::Icon::Critical);
        QVERIFY2(messages.lastText().contains(lockPath) && messages.lastText().contains(cause),
                 qPrintable(messages.lastText()));
        QCOMPARE(fileHash(bd1), bd1Before);
        QCOMPARE(fileHash(other), otherBefore);
        QVERIFY(!QFileInfo::exists(elsewhere.filePath(QStringLiteral("nada"))));
        // What was at the name is left for a person to look at.
        QVERIFY(QFileInfo(lockPath).isSymLink() || QFileInfo::exists(lockPath));
    }

    void lockThatCannotBeMadeNamesItsCause_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("folder missing") << "missing" << "no-such-folder» no existe";
        QTest::newRow("folder not writable") << "unwritable" << "no hay permiso para escribir en la carpeta";
        QTest::newRow("read-only disk") << "read-only" << "está en un disco de solo lectura";
        QTest::newRow("full disk") << "full" << "el disco está lleno";
    }
    void lockThatCannotBeMadeNamesItsCause()
    {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        SmallDisk disk;
        QString folder = dir.path();
        std::unique_ptr<WithoutOverrideRights> ordinaryUser;
        if (kind == QLatin1String("missing")) {
            folder = dir.filePath(QStringLiteral("no-such-folder"));
        } else if (kind == QLatin1String("unwritable")) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            ordinaryUser = std::make_unique<WithoutOverrideRights>();
            if (!ordinaryUser->active()) {
                ordinaryUser.reset();
                QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
                QSKIP("cannot give up the rights of root here");
            }
        } else {
            if (!disk.mounted())
                QSKIP("cannot mount a small disk here (needs root)");
            folder = disk.path();
            QVERIFY(kind == QLatin1String("full") ? disk.fill() : disk.makeReadOnly());
        }
        FakeMessages messages;
        SingleCopy copy(folder);
        const bool acquired = singleCopyCheck(copy, messages);
        ordinaryUser.reset();
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        QVERIFY(!acquired);
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].icon, Messages::Icon::Critical);
        QVERIFY2(messages.lastText().contains(QDir(folder).filePath(QStringLiteral("bd1.lock"))),
                 qPrintable(messages.lastText()));
        QVERIFY2(messages.lastText().contains(cause), qPrintable(messages.lastText()));
        QVERIFY(!messages.lastText().contains(QLatin1String("ejecución")));
        if (kind == QLatin1String("full"))
            QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("bd1.lock"))));
    }

    void noUsers()
    {
        TempShop shop;
        shop.db.execute(QStringLiteral("DELETE FROM Usuarios"));
        QCOMPARE(checkLogin(shop.db, QStringLiteral("admin"), QStringLiteral("admin")).outcome,
                 LoginOutcome::NoUsers);
    }

    void loginCheck_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<LoginOutcome>("outcome");
        QTest::newRow("exact") << "pedro" << "clave1" << LoginOutcome::Success;
        QTest::newRow("admin") << "admin" << "admin" << LoginOutcome::Success;
        QTest::newRow("wrong password") << "pedro" << "clave2" << LoginOutcome::WrongPassword;
        QTest::newRow("empty password") << "pedro" << "" << LoginOutcome::WrongPassword;
        QTest::newRow("password case") << "pedro" << "CLAVE1" << LoginOutcome::WrongPassword;
        QTest::newRow("name case") << "Pedro" << "clave1" << LoginOutcome::UnknownName;
        QTest::newRow("stored upper case, typed lower") << "maria" << "m1"
                                                        << LoginOutcome::UnknownName;
        QTest::newRow("stored upper case exact") << "Maria" << "m1" << LoginOutcome::Success;
        QTest::newRow("prefix") << "ped" << "clave1" << LoginOutcome::UnknownName;
        QTest::newRow("unknown") << "juan" << "clave1" << LoginOutcome::UnknownName;
    }
    void loginCheck()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(LoginOutcome, outcome);
        TempShop shop;
        shop.addUser(QStringLiteral("pedro"), QStringLiteral("clave1"));
        shop.addUser(QStringLiteral("Maria"), QStringLiteral("m1"));
        const LoginResult result = checkLogin(shop.db, name, password);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.userName, outcome == LoginOutcome::Success ? name : QString());
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // Started by LockHolder: another running copy, holding the lock of a folder until its input
    // closes.
    if (qEnvironmentVariableIsSet("TARVINO_HOLD_LOCK_IN")) {
        SingleCopy lock(qEnvironmentVariable("TARVINO_HOLD_LOCK_IN"));
        const bool held = lock.acquire() == SingleCopy::Result::Acquired;
        std::fputs(held ? "held\n" : "refused\n", stdout);
        std::fflush(stdout);
        char c;
        while (::read(STDIN_FILENO, &c, 1) > 0) {
        }
        return held ? 0 : 1;
    }
    TestStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_startup.moc"
