#include "app/Runtime.h"

#include "app/TestHooks.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace forms {

RuntimeError::RuntimeError(int number, QString description)
    : number(number)
    , description(std::move(description))
    , m_what(QStringLiteral("run-time error %1: %2").arg(number).arg(this->description).toUtf8())
{
}

const char* RuntimeError::what() const noexcept
{
    return m_what.constData();
}

namespace errors {
RuntimeError invalidProcedureCall() { return { 5, QStringLiteral("无效的过程调用或参数") }; }
RuntimeError overflow() { return { 6, QStringLiteral("溢出") }; }
RuntimeError divisionByZero() { return { 11, QStringLiteral("除数为零") }; }
RuntimeError invalidPropertyValue() { return { 380, QStringLiteral("无效属性值") }; }
RuntimeError fileNotFound(const QString& detail) { return { 53, detail }; }
} // namespace errors

void resumeNext(std::initializer_list<std::function<void()>> statements)
{
    for (const auto& statement : statements) {
        try {
            statement();
        } catch (const std::exception&) {
            // Resume next: the failing statement is skipped as a whole.
        }
    }
}

void runHandler(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const RuntimeError& error) {
        reportUntrappedError(error.description, error.number);
    } catch (const std::exception& error) {
        reportUntrappedError(QString::fromLocal8Bit(error.what()), 51);
    }
}

void reportUntrappedError(const QString& description, int number)
{
    // The runtime's own report: the error's number and text, then the end.
    MsgBox(QStringLiteral("实时错误 '%1':\r\n\r\n%2").arg(number).arg(description), vbCritical,
        QCoreApplication::applicationName());
    End();
}

void End()
{
    vantrel::testhooks::log({ QStringLiteral("end") });
    std::_Exit(0);
}

int MsgBox(const QString& prompt, int flags, const QString& title)
{
    vantrel::testhooks::log({ QStringLiteral("msgbox"), vantrel::testhooks::escapeLineBreaks(title),
        vantrel::testhooks::escapeLineBreaks(prompt) });

    QMessageBox box;
    box.setWindowTitle(title);
    // The box shows line breaks as the runtime does: CR LF is one break.
    QString text = prompt;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    switch (flags & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case 32: box.setIcon(QMessageBox::Question); break;
    case 48: box.setIcon(QMessageBox::Warning); break;
    case vbInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    if (vantrel::testhooks::autoDismissMessageBoxes())
        QTimer::singleShot(0, &box, [&box] { box.accept(); });
    box.exec();
    return vbOK;
}

std::int16_t CInt(double value)
{
    if (std::isnan(value))
        throw errors::overflow();
    // nearbyint in the default rounding mode sends an exact half to the even
    // neighbour, which is the conversion's rule.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(saved);
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        throw errors::overflow();
    return static_cast<std::int16_t>(rounded);
}

std::int16_t addInt16(std::int16_t a, std::int16_t b)
{
    const int sum = int(a) + int(b);
    if (sum < -32768 || sum > 32767)
        throw errors::overflow();
    return static_cast<std::int16_t>(sum);
}

float divideSingle(float numerator, float denominator)
{
    if (std::isnan(numerator) || std::isnan(denominator))
        throw errors::overflow();
    if (denominator == 0.0f) {
        if (numerator == 0.0f)
            throw errors::overflow(); // 0/0 is an invalid operation
        throw errors::divisionByZero();
    }
    const float quotient = numerator / denominator;
    if (!std::isfinite(quotient))
        throw errors::overflow();
    return quotient;
}

namespace {

QScreen* primaryScreen()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::primaryScreen() : nullptr;
}

float twipsPerPixelFor(double dpi)
{
    return dpi > 0 ? float(1440.0 / dpi) : 0.0f;
}

} // namespace

float twipsPerPixelX()
{
    QScreen* screen = primaryScreen();
    return screen ? twipsPerPixelFor(screen->logicalDotsPerInchX()) : 15.0f;
}

float twipsPerPixelY()
{
    QScreen* screen = primaryScreen();
    return screen ? twipsPerPixelFor(screen->logicalDotsPerInchY()) : 15.0f;
}

float screenWidthTwips()
{
    QScreen* screen = primaryScreen();
    return screen ? float(screen->geometry().width()) * twipsPerPixelX() : 0.0f;
}

float screenHeightTwips()
{
    QScreen* screen = primaryScreen();
    return screen ? float(screen->geometry().height()) * twipsPerPixelY() : 0.0f;
}

QString commandLineFrom(const QStringList& argumentsAfterProgram)
{
    QString text = argumentsAfterProgram.join(QLatin1Char(' '));
    // A path quoted as a whole reaches us with its quotes only when the quotes
    // were themselves quoted; no file name starts and ends with them, so they go.
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"'))
        && text.count(QLatin1Char('"')) == 2)
        text = text.mid(1, text.size() - 2);
    return text;
}

QString Command()
{
    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty())
        arguments.removeFirst();
    return commandLineFrom(arguments);
}

QString instanceLockPath()
{
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && ::access(QFile::encodeName(runtimeDir).constData(), W_OK) == 0)
        return runtimeDir + QStringLiteral("/vantrel.lock");
    return QStringLiteral("/tmp/vantrel-%1.lock").arg(::getuid());
}

bool PrevInstance()
{
    static const bool previous = [] {
        const QByteArray path = QFile::encodeName(instanceLockPath());
        // O_NOFOLLOW: in a shared /tmp the name could be a planted symlink.
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return false; // cannot tell; running is better than refusing
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return false; // ours now, until the process ends (the fd is never closed)
        const bool heldByOther = errno == EWOULDBLOCK;
        ::close(fd);
        return heldByOther;
    }();
    return previous;
}

} // namespace forms
