// Where the shop's data lives (bd1, its copies, the lock) and what the command line asks for.
#pragma once

#include <QString>
#include <QStringList>

namespace tarvino {

// The name of the data folder inside the user's data folder (~/.local/share/tarvino).
inline const QString kDataFolderName = QStringLiteral("tarvino");

struct CommandLine {
    // CopyToServer: copy the bd1 file given with --copiar-a-servidor into the server that the
    // data folder's tarvino.conf names, instead of opening the windows.
    enum class Action { Run, Help, Version, CopyToServer, Error };
    Action action = Action::Run;
    // The folder given with --datos, as typed; empty when none was given.
    QString dataFolder;
    // The bd1 file given with --copiar-a-servidor, as typed; empty when none was given.
    QString copyFrom;
    // What was wrong with the command line, in words for the person who typed it.
    QString error;
};

// Reads the arguments that follow the program's name. --help and --version win over anything
// else, so that they answer even beside options meant for the windowing system; everything that
// is not ours is an error (the caller reads again once the windowing system took its own).
CommandLine readCommandLine(const QStringList& arguments);

// What --help and --version print.
QString helpText();
QString versionText();

// The folder of the shop's data. An asked folder (--datos) is used as given, made absolute
// against the working folder. Otherwise a program that runs from the folder it was built into
// keeps its data beside itself, as it always has; an installed program uses the user's data
// folder (userDataHome is ~/.local/share or what XDG_DATA_HOME says).
QString chooseDataFolder(const QString& asked, const QString& programFolder,
                         const QString& buildFolder, const QString& userDataHome);

// Makes the folder (and the folders above it) when missing and checks that a file can be made in
// it. Empty when the folder can be used; otherwise a message that names the folder and the cause.
QString prepareDataFolder(const QString& folder);

} // namespace tarvino
