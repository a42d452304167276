// The executable's entry: registers the compiled-in resources, creates the
// application with the version record's facts, and hands over to Main.

#include "app/Application.h"
#include "app/modMain.h"
#include "resources/Resources.h"
#include "resources/VersionInfo.h"
#include "tools/QtMessages.h"

#include <QIcon>

int main(int argc, char** argv)
{
    vantrel::routeQtMessagesAway(); // stderr carries no Qt chatter (VANTREL_QT_LOG keeps it)
    vantrel::initResources();

    forms::Application app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromUtf8(vantrel::version::ProductName));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(vantrel::version::ProductVersion));
    QCoreApplication::setOrganizationName(QString::fromUtf8(vantrel::version::CompanyName));
    QGuiApplication::setWindowIcon(QIcon(QString::fromUtf8(vantrel::IconPath)));

    modMain::Main();
    return app.exec();
}
