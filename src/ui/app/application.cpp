// The application object: a last guard so that an unexpected error is shown, not a silent crash.
#include "app/application.h"

#include "common/services.h"

#include <exception>

namespace tarvino {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    // Every database and printer failure is handled where it happens; anything that still
    // escapes an event handler is told to the cashier instead of ending the program. What is
    // stored stays stored: each write is its own transaction.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (m_messages)
            m_messages->inform(QStringLiteral("Ocurrió un error inesperado: %1").arg(QString::fromUtf8(e.what())),
                               kAppTitle, Messages::Icon::Critical);
    }
    return false;
}

} // namespace tarvino
