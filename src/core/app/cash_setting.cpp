// The till's settings for its drawer, from [caja] of tarvino.conf.
#include "app/cash_setting.h"

#include "app/server_setting.h"

#include <QDir>
#include <QStringList>

#include <algorithm>

namespace tarvino {

namespace {

// A list such as "10,50,100": every value above zero, at most the largest amount.
std::optional<std::vector<Cents>> readDenominations(const QString& value)
{
    std::vector<Cents> read;
    for (const QString& part : value.split(QLatin1Char(','))) {
        bool ok = false;
        const double amount = QLocale::c().toDouble(part.trimmed(), &ok);
        if (!ok || amount <= 0 || toCents(amount) > kMaxCents || toCents(amount) == 0)
            return std::nullopt;
        read.push_back(toCents(amount));
    }
    std::sort(read.begin(), read.end());
    read.erase(std::unique(read.begin(), read.end()), read.end());
    return read;
}

} // namespace

CashSettingRead readCashSetting(const QString& dataFolder)
{
    const QString path = QDir(dataFolder).filePath(kServerSettingFileName);
    CashSettingRead result;
    const auto refused = [&](const QString& cause) {
        result.error = QStringLiteral("No se puede usar el archivo de la caja «%1»: %2.")
                           .arg(QDir::toNativeSeparators(path), cause);
        return result;
    };
    QString problem;
    const std::optional<QString> text = readSettingText(path, problem);
    if (!problem.isEmpty())
        return refused(problem);
    if (!text)
        return result;

    QString section;
    QStringList seen;
    const QStringList lines = text->split(QLatin1Char('\n'));
    for (qsizetype number = 1; number <= lines.size(); ++number) {
        const QString line = lines.at(number - 1).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed().toLower();
            continue;
        }
        if (section != QLatin1String("caja"))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return refused(QStringLiteral("la línea %1 no se entiende; en [caja] van pedir_fondo=si o "
                                          "no, monedas=… y billetes=…")
                               .arg(number));
        const QString key = line.left(equals).trimmed().toLower();
        const QString value = line.mid(equals + 1).trimmed();
        if (seen.contains(key))
            return refused(QStringLiteral("«%1» aparece dos veces en [caja] (línea %2)").arg(key).arg(number));
        seen << key;
        if (key == QLatin1String("pedir_fondo")) {
            const QString answer = value.toLower();
            if (answer == QLatin1String("si") || answer == QStringLiteral("sí"))
                result.setting.askOpeningCash = true;
            else if (answer == QLatin1String("no"))
                result.setting.askOpeningCash = false;
            else
                return refused(QStringLiteral("en la línea %1, pedir_fondo= lleva si o no").arg(number));
        } else if (key == QLatin1String("monedas") || key == QLatin1String("billetes")) {
            const auto read = readDenominations(value);
            if (!read)
                return refused(QStringLiteral("en la línea %1, %2= lleva valores mayores que cero "
                                              "separados por comas (por ejemplo 10,50,100)")
                                   .arg(number)
                                   .arg(key));
            (key == QLatin1String("monedas") ? result.setting.coins : result.setting.notes) = *read;
        } else {
            return refused(QStringLiteral("en [caja] no se conoce «%1» (línea %2); solo van "
                                          "pedir_fondo=…, monedas=… y billetes=…")
                               .arg(line.left(equals).trimmed())
                               .arg(number));
        }
    }
    return result;
}

} // namespace tarvino
