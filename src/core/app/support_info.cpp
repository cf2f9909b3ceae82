// What the support window shows: the support channels the shop's supplier writes into a plain text
// file in the data folder, or, while there is none, where to write them.
#include "app/support_info.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tarvino {

namespace {

// More than any list of channels needs; a larger file is read only this far.
constexpr qint64 kMaxBytes = 64 * 1024;

// An address the browser may be sent to: http or https with a host, nothing else.
QUrl webAddress(const QString& text)
{
    const QUrl url(text, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}

} // namespace

QString supportFilePath(const QString& dataFolder)
{
    return QDir(dataFolder).absoluteFilePath(kSupportFileName);
}

SupportInfo readSupportInfo(const QString& path)
{
    SupportInfo info;
    QFile file(path);
    QStringList lines;
    if (file.open(QIODevice::ReadOnly)) {
        QString text = QString::fromUtf8(file.read(kMaxBytes));
        if (text.startsWith(QChar(0xFEFF))) // the mark some editors put at the start
            text.remove(0, 1);
        lines = text.split(QLatin1Char('\n'));
    }

    const struct {
        const char* name;
        const char* caption;
    } channels[] = {{"correo", "Correo"}, {"telefono", "Teléfono"}, {"teléfono", "Teléfono"}, {"horario", "Horario"}};
    QStringList contact;
    for (const QString& raw : std::as_const(lines)) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? QString() : line.left(equals).trimmed().toLower();
        const QString value = equals < 0 ? QString() : line.mid(equals + 1).trimmed();
        bool known = false;
        for (const auto& channel : channels) {
            if (name == QString::fromUtf8(channel.name)) {
                if (!value.isEmpty())
                    contact << QStringLiteral("%1: %2").arg(QString::fromUtf8(channel.caption), value);
                known = true;
            }
        }
        if (known)
            continue;
        if (name == QLatin1String("servicio")) {
            if (!value.isEmpty())
                info.services << value;
        } else if (name == QLatin1String("web")) {
            // Only the first address counts; one that is no web page is not offered as a link.
            if (info.web.isEmpty())
                info.web = webAddress(value);
        } else {
            contact << line;
        }
    }
    info.contact = contact.join(QLatin1Char('\n'));
    info.fromFile = !info.contact.isEmpty() || !info.services.isEmpty() || !info.web.isEmpty();
    if (!info.fromFile) {
        info.contact = QStringLiteral(
                           "Los datos de contacto para soporte y asistencia los escribe el proveedor que "
                           "instaló el programa en este archivo:\n%1\n"
                           "Una línea por dato, por ejemplo: correo=…, telefono=…, horario=…, web=https://…, "
                           "servicio=…")
                           .arg(QDir::toNativeSeparators(path));
    }
    return info;
}

} // namespace tarvino
