// Whether this till keeps the shop's data on a PostgreSQL server shared with the other tills, and
// under which name it works there: the file tarvino.conf in the data folder.
#pragma once

#include <QString>

#include <optional>

namespace tarvino {

// The till's setting file, in the data folder.
inline const QString kServerSettingFileName = QStringLiteral("tarvino.conf");

// The longest till name: it goes on receipts and in the day's records beside the user's name.
constexpr int kMaxTillNameLength = 40;

struct ServerSetting {
    QString connection; // a libpq connection string, exactly as written in the file
    QString till;       // this till's name on the server
};

struct ServerSettingRead {
    // No setting: the shop's data stays in bd1 in the data folder.
    std::optional<ServerSetting> setting;
    // Why the file cannot be used, in words for the shop, naming the file; empty when it can.
    QString error;
};

// The file is UTF-8 text, INI style; only the section [servidor] is read:
//   [servidor]
//   conexion=host=192.168.1.10 dbname=tarvino user=tarvino
//   caja=Caja 1
// Lines starting with "#" or ";" are notes; spaces around names and values do not count. The
// connection is kept as written, spaces, "=" and quotes inside it included; a password never goes
// in it (each cashier's account keeps it in ~/.pgpass, readable by that account alone). Without
// caja the till is named after the machine (machineName); "*" names no till. No file, or a file
// without conexion, means no server. A refusal names the file, the line and the key, and never
// repeats what a line holds, which may be secret. Anything in [servidor] the program does not
// know is an error rather than a till that quietly keeps its sales to itself.
ServerSettingRead readServerSetting(const QString& dataFolder, const QString& machineName);

// The text of the setting file at path: none when there is no file; problem says why a file there
// cannot be read (unreadable, not UTF-8), in words for the shop.
std::optional<QString> readSettingText(const QString& path, QString& problem);

} // namespace tarvino
