#pragma once
// The application object. Every event handler runs inside notify(); an exception that
// leaves a handler (a work-file error, or any other) is shown in a message box there and
// the event loop goes on, so none crosses Qt's event dispatch.
#include <QApplication>
#include <exception>

namespace parelix {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message of an exception that ended a handler.
    static void showException(const std::exception& error);
};

}  // namespace parelix
