#pragma once

#include <QApplication>

namespace forms {

// The application object with the top-level guard: a run-time error that
// escapes any event handler gets the runtime's error report, then the
// program ends.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace forms
