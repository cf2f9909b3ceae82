// How passwords are kept in Usuarios: a salted, deliberately slow hash (Argon2id), never the
// password itself.
#include "users/passwords.h"

#include "data/database.h"

#include <sodium.h>

namespace tarvino {

namespace {

// Argon2id at 12 MiB and three passes: a check costs about 35 ms on a till (the login stays far
// under a tenth of a second) while every guess of someone holding a copy of the file costs the
// same time and memory.
constexpr unsigned long long kPasses = 3;
constexpr size_t kMemoryBytes = size_t(12) << 20;

const QString kPrefix = QStringLiteral(crypto_pwhash_argon2id_STRPREFIX);

void initialise()
{
    // Safe to call again and from any thread; it fails only when the system has no source of
    // random numbers, and then no salt could be made.
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw DbError(QStringLiteral("No se pudo preparar la protección de las contraseñas: "
                                     "el sistema no entrega números al azar."));
}

} // namespace

QString hashPassword(const QString& password)
{
    initialise();
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, bytes.constData(), quint64(bytes.size()), kPasses, kMemoryBytes,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw DbError(QStringLiteral("No se pudo proteger la contraseña: falta memoria en el equipo. "
                                     "No se guardó nada."));
    return QString::fromLatin1(out);
}

bool isPasswordHash(const QString& stored)
{
    return stored.startsWith(kPrefix) && stored.size() < int(crypto_pwhash_STRBYTES);
}

bool passwordMatches(const QString& stored, const QString& typed)
{
    if (!isPasswordHash(stored))
        return stored == typed;
    initialise();
    const QByteArray hash = stored.toLatin1();
    const QByteArray bytes = typed.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), bytes.constData(), quint64(bytes.size())) == 0;
}

bool needsNewHash(const QString& stored)
{
    if (!isPasswordHash(stored))
        return true;
    initialise();
    const QByteArray hash = stored.toLatin1();
    return crypto_pwhash_str_needs_rehash(hash.constData(), kPasses, kMemoryBytes) != 0;
}

} // namespace tarvino
