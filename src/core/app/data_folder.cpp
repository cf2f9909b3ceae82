// Where the shop's data lives (bd1, its copies, the lock) and what the command line asks for.
#include "app/data_folder.h"

#include "data/database.h"
#include "data/file_modes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef TARVINO_VERSION
#define TARVINO_VERSION "1.0"
#endif

namespace tarvino {

namespace {

const QString kDataOption = QStringLiteral("--datos");
const QString kCopyOption = QStringLiteral("--copiar-a-servidor");

QString refused(const QString& folder, const QString& cause)
{
    return QStringLiteral("No se puede usar la carpeta de datos «%1»: %2.\n\nEl programa se cerrará.")
        .arg(QDir::toNativeSeparators(folder), cause);
}

// Why a folder could not be made or written into.
QString folderCause(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("porque esta cuenta no tiene permiso");
    case EROFS:
        return QStringLiteral("porque está en un disco de solo lectura");
    case ENOTDIR:
    case EEXIST:
        return QStringLiteral("porque una parte de la ruta es un archivo, no una carpeta");
    default:
        return QStringLiteral("porque %1").arg(systemErrorText(error));
    }
}

// The same folder, however it was written (symbolic links, "..", a trailing slash).
QString canonical(const QString& folder)
{
    const QString found = QFileInfo(folder).canonicalFilePath();
    return found.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : found;
}

// Makes the folder and the missing folders above it. The data folder itself is the owner's
// alone, as a new bd1 is; a shop that shares one makes it by hand for its group.
bool makeDataFolder(const QString& folder)
{
    return QDir().mkpath(folder) &&
           QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner);
}

} // namespace

CommandLine readCommandLine(const QStringList& arguments)
{
    CommandLine line;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.action = CommandLine::Action::Help;
            return line;
        }
    }
    if (arguments.contains(QStringLiteral("--version"))) {
        line.action = CommandLine::Action::Version;
        return line;
    }
    // Each of our options takes one value, as "--datos CARPETA" or "--datos=CARPETA".
    const struct Option {
        const QString& name;
        QString CommandLine::*value;
        const char* missing; // the messages, with the option's name for %1
        const char* empty;
        const char* twice;
    } options[] = {
        {kDataOption, &CommandLine::dataFolder, "Falta la carpeta después de «%1».",
         "La carpeta indicada con «%1» está vacía.", "Se indicó más de una carpeta con «%1»."},
        {kCopyOption, &CommandLine::copyFrom, "Falta el archivo después de «%1».",
         "El archivo indicado con «%1» está vacío.", "Se indicó más de un archivo con «%1»."},
    };
    const auto given = [](const Option& option, const QString& argument) {
        return argument == option.name || argument.startsWith(option.name + QLatin1Char('='));
    };
    const auto ours = [&](const QString& argument) {
        return std::any_of(std::begin(options), std::end(options),
                           [&](const Option& option) { return given(option, argument); });
    };
    for (qsizetype i = 0; i < arguments.size() && line.error.isEmpty(); ++i) {
        const QString& argument = arguments.at(i);
        const auto option = std::find_if(std::begin(options), std::end(options),
                                         [&](const Option& o) { return given(o, argument); });
        if (option == std::end(options)) {
            line.error = argument.startsWith(QLatin1Char('-'))
                             ? QStringLiteral("La opción «%1» no existe.").arg(argument)
                             : QStringLiteral("No se esperaba «%1».").arg(argument);
            break;
        }
        QString value;
        if (argument == option->name) {
            // "--copiar-a-servidor --datos X" lacks the file; it does not copy a file named --datos.
            if (i + 1 >= arguments.size() || ours(arguments.at(i + 1))) {
                line.error = QString::fromUtf8(option->missing).arg(option->name);
                break;
            }
            value = arguments.at(++i);
        } else {
            value = argument.mid(option->name.size() + 1);
        }
        QString& kept = line.*(option->value);
        if (value.isEmpty())
            line.error = QString::fromUtf8(option->empty).arg(option->name);
        else if (!kept.isEmpty() && kept != value)
            line.error = QString::fromUtf8(option->twice).arg(option->name);
        else
            kept = value;
    }
    if (line.error.isEmpty() && !line.copyFrom.isEmpty())
        line.action = CommandLine::Action::CopyToServer;
    if (!line.error.isEmpty()) {
        line.action = CommandLine::Action::Error;
        line.dataFolder.clear();
        line.copyFrom.clear();
        line.error += QStringLiteral(" Use «tarvino --help» para ver las opciones.");
    }
    return line;
}

QString helpText()
{
    return QStringLiteral(
        "Uso: tarvino [--datos CARPETA] [--copiar-a-servidor RUTA]\n"
        "\n"
        "Tarvino, punto de venta para un comercio pequeño.\n"
        "\n"
        "Los datos del comercio (la base de datos bd1, las copias de respaldo de la carpeta\n"
        "«respaldos» y el archivo que impide abrir el programa dos veces) se guardan en la\n"
        "carpeta de datos del usuario, ~/.local/share/tarvino (o $XDG_DATA_HOME/tarvino).\n"
        "\n"
        "Opciones:\n"
        "  --datos CARPETA  usa CARPETA como carpeta de datos (por ejemplo, una carpeta que\n"
        "                   comparten las cuentas de todos los cajeros a través de un grupo del\n"
        "                   sistema, con el bit setgid); se crea si no existe, solo para esta\n"
        "                   cuenta\n"
        "  --copiar-a-servidor RUTA\n"
        "                   copia los datos del archivo bd1 de RUTA al servidor que indica\n"
        "                   tarvino.conf en la carpeta de datos, y termina\n"
        "  --version        muestra la versión del programa y termina\n"
        "  -h, --help       muestra esta ayuda y termina\n");
}

QString versionText()
{
    return QStringLiteral("Tarvino %1\n").arg(QStringLiteral(TARVINO_VERSION));
}

QString chooseDataFolder(const QString& asked, const QString& programFolder,
                         const QString& buildFolder, const QString& userDataHome)
{
    if (!asked.isEmpty())
        return QDir::cleanPath(QDir::current().absoluteFilePath(asked));
    if (!buildFolder.isEmpty() && canonical(programFolder) == canonical(buildFolder))
        return programFolder;
    return QDir(userDataHome).filePath(kDataFolderName);
}

QString prepareDataFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return refused(folder, QStringLiteral("con ese nombre hay un archivo, no una carpeta"));
    if (!info.exists() && !makeDataFolder(folder)) {
        // mkpath does not say why; making the first missing folder of the path again does.
        QString missing = QDir::cleanPath(QDir(folder).absolutePath());
        while (!QFileInfo::exists(QFileInfo(missing).absolutePath()))
            missing = QFileInfo(missing).absolutePath();
        const int error = ::mkdir(QFile::encodeName(missing).constData(), 0755) == 0 ? 0 : errno;
        if (error == 0 && makeDataFolder(folder))
            return {};
        return refused(folder, QStringLiteral("no se pudo crear, %1").arg(folderCause(error)));
    }
    // Permission bits do not tell everything (a read-only disk, the administrator's rights): a
    // file made and removed does. Under a name of its own, made only when nothing has it: a link
    // planted at a fixed name would have the probe empty whatever it leads to (bd1, for one).
    QByteArray probe =
        QFile::encodeName(QDir(folder).filePath(QStringLiteral(".tarvino-prueba-XXXXXX")));
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    const int error = fd < 0 ? errno : 0;
    if (fd < 0)
        return refused(folder, QStringLiteral("no se pueden guardar archivos en ella, %1")
                                   .arg(folderCause(error)));
    ::close(fd);
    ::unlink(probe.constData());
    applyFolderModes(folder);
    return {};
}

} // namespace tarvino
