// Why a file operation failed, in words for the cashier.
#include "common/system_error.h"

#include <cerrno>

namespace tarvino {

QString systemErrorText(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("el disco está lleno");
    case EDQUOT:
        return QStringLiteral("se acabó el espacio de disco permitido a este usuario");
    case EACCES:
    case EPERM:
        return QStringLiteral("no hay permiso para usar el archivo");
    case EROFS:
        return QStringLiteral("el disco es de solo lectura");
    case EIO:
        return QStringLiteral("falló la lectura o escritura en el disco");
    case ENOENT:
        return QStringLiteral("el archivo o su carpeta no existe");
    case ENOTDIR:
        return QStringLiteral("una parte de la ruta no es una carpeta");
    case EISDIR:
        return QStringLiteral("con ese nombre hay una carpeta, no un archivo");
    case ENAMETOOLONG:
        return QStringLiteral("la ruta del archivo es demasiado larga");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("hay demasiados archivos abiertos");
    case ENOLCK:
        return QStringLiteral("el disco no permite bloquear archivos");
    case ELOOP:
    case EEXIST:
        // The program makes its files only under names nothing has yet, never through a link.
        return QStringLiteral("ya hay un archivo o un enlace con el nombre del archivo que el "
                              "programa debía crear; muévalo a otro lugar y vuelva a intentarlo");
    default:
        return QStringLiteral("error del sistema número %1 (%2)")
            .arg(errorNumber)
            .arg(QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

} // namespace tarvino
