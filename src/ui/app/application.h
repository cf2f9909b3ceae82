// The application object: a last guard so that an unexpected error is shown, not a silent crash.
#pragma once

#include <QApplication>

namespace tarvino {

class Messages;

class Application final : public QApplication {
public:
    Application(int& argc, char** argv);
    void setMessages(Messages* messages) { m_messages = messages; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    Messages* m_messages = nullptr;
};

} // namespace tarvino
