// Opening a finished workbook with the desktop's spreadsheet program.
#include "common/xlsx_spreadsheet.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace tarvino {

void openWithDesktop(const QString& path)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        throw SpreadsheetError(QStringLiteral("No se pudo abrir la planilla: no se encontró un programa que la "
                                              "abra. El libro quedó guardado en «%1».")
                                   .arg(QDir::toNativeSeparators(path)));
}

} // namespace tarvino
