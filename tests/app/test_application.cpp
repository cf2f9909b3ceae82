// The application's last guard: an error escaping an event handler is shown, not a crash.
#include "app/application.h"
#include "support/fakes.h"

#include <QTest>

#include <stdexcept>

using namespace tarvino;
using namespace tarvino::test;

namespace {
class Throwing final : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("disco desconectado");
        return QObject::event(e);
    }
};
} // namespace

class TestApplication : public QObject {
    Q_OBJECT

private slots:
    void escapingErrorIsShown()
    {
        FakeMessages messages;
        static_cast<Application*>(QCoreApplication::instance())->setMessages(&messages);
        Throwing target;
        QEvent event(QEvent::User);
        QCOMPARE(QCoreApplication::sendEvent(&target, &event), false);
        QCOMPARE(messages.texts(), QStringList{"Ocurrió un error inesperado: disco desconectado"});
        QCOMPARE(messages.boxes[0].icon, Messages::Icon::Critical);
        static_cast<Application*>(QCoreApplication::instance())->setMessages(nullptr);
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_application.moc"
