#include "app/Application.h"

#include "app/Runtime.h"

namespace forms {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const RuntimeError& error) {
        reportUntrappedError(error.description, error.number);
    } catch (const std::exception& error) {
        reportUntrappedError(QString::fromLocal8Bit(error.what()), 51);
    }
}

} // namespace forms
