// What the support window shows: the support channels the shop's supplier writes into a plain text
// file in the data folder, or, while there is none, where to write them.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace tarvino {

// The file of support channels, in the folder of bd1.
inline const QString kSupportFileName = QStringLiteral("soporte.txt");

// The file in the data folder, beside bd1 or tarvino.conf.
QString supportFilePath(const QString& dataFolder);

// The file is UTF-8 text, one item a line:
//   correo=soporte@proveedor.cl
//   telefono=+56 2 2345 6789
//   horario=lunes a viernes de 9:00 a 18:00
//   web=https://www.proveedor.cl
//   servicio=Instalación en su local        (one line per service)
// Names are read whatever their letter case; any other line is shown as it is written, and a line
// starting with "#" is a note for whoever edits the file.
struct SupportInfo {
    QString contact;      // the channels, one a line, as the window shows them
    QStringList services; // paid services, in the file's order
    QUrl web;             // the web page; empty unless the file gives an http or https address
    bool fromFile = false;
};

// Reads the file at path. A file that is missing, unreadable or says nothing gives a neutral text
// naming path, so that nobody is sent to a made-up address.
SupportInfo readSupportInfo(const QString& path);

} // namespace tarvino
