#include "app/TestHooks.h"

#include <QFile>

namespace vantrel::testhooks {

namespace {

struct Settings {
    QString logPath;
    bool autoDismiss = false;
    bool openCancel = false;
    QString openFile;
    bool openFileSet = false;
};

Settings readEnvironment()
{
    Settings s;
    s.logPath = qEnvironmentVariable("VANTREL_TEST_LOG");
    s.autoDismiss = qEnvironmentVariable("VANTREL_TEST_AUTODISMISS") == QLatin1String("1");
    s.openCancel = qEnvironmentVariable("VANTREL_TEST_OPEN_CANCEL") == QLatin1String("1");
    s.openFileSet = qEnvironmentVariableIsSet("VANTREL_TEST_OPEN_FILE");
    s.openFile = qEnvironmentVariable("VANTREL_TEST_OPEN_FILE");
    return s;
}

Settings& settings()
{
    static Settings s = readEnvironment();
    return s;
}

} // namespace

void reload()
{
    settings() = readEnvironment();
}

QString escapeLineBreaks(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    out.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return out;
}

void log(const QStringList& fields)
{
    const QString& path = settings().logPath;
    if (path.isEmpty())
        return;
    // Opened per line so that every line is on disk before the program can
    // end at once (End does not flush anything).
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(fields.join(QLatin1Char('\t')).toUtf8() + '\n');
    file.close();
}

bool autoDismissMessageBoxes()
{
    return settings().autoDismiss;
}

std::optional<QString> openDialogOverride()
{
    if (settings().openCancel)
        return QString();
    if (settings().openFileSet)
        return settings().openFile;
    return std::nullopt;
}

} // namespace vantrel::testhooks
