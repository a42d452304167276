#pragma once

// The forms layer's run-time services that are not tied to one form: run-time
// errors and resume-next handling, number conversion, message boxes, the
// command line, the previous-instance check and the end of the program.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>

namespace forms {

// A run-time error raised by a failing property or method call of the layer.
// Handlers either let it escape (it then reaches the top-level guard, which
// reports it and ends the program) or skip the failing statement with resumeNext.
struct RuntimeError : std::exception {
    int number = 0;
    QString description;

    RuntimeError(int number, QString description);
    const char* what() const noexcept override;

private:
    QByteArray m_what;
};

// The errors this program raises itself, with the runtime's numbers.
namespace errors {
RuntimeError invalidProcedureCall(); // 5
RuntimeError overflow();             // 6
RuntimeError divisionByZero();       // 11
RuntimeError invalidPropertyValue(); // 380
RuntimeError fileNotFound(const QString& detail); // 53
}

// Runs each statement in turn; a statement that raises a run-time error (or
// any other exception) is skipped and the next one runs.
void resumeNext(std::initializer_list<std::function<void()>> statements);

// Runs an event handler with no trap of its own. An error escaping it gets the
// runtime's error report (a message box) and then the program ends. Returns
// normally when the handler did.
void runHandler(const std::function<void()>& handler);

// Shows the untrapped-error report for `error` and ends the program.
[[noreturn]] void reportUntrappedError(const QString& description, int number);

// Ends the program at once: no unload handler and no further event runs.
[[noreturn]] void End();

// Message box flags used by the program.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbCritical = 16;
inline constexpr int vbInformation = 64;
inline constexpr int vbOK = 1;

// A modal message box with OK only; `flags` chooses the icon. Returns vbOK.
int MsgBox(const QString& prompt, int flags, const QString& title);

// Conversion to a signed 16-bit integer: rounds to nearest with an exact half
// going to the even neighbour; NaN and values outside -32768..32767 raise the
// overflow error.
std::int16_t CInt(double value);
// 16-bit addition that raises the overflow error instead of wrapping.
std::int16_t addInt16(std::int16_t a, std::int16_t b);

// Single-precision division with the runtime's floating-point faults:
// division by zero raises error 11, an invalid or overflowing result error 6.
float divideSingle(float numerator, float denominator);

// Twips per pixel along each axis for the primary screen: 1440 / logical DPI
// (15 at 96 dots per inch).
float twipsPerPixelX();
float twipsPerPixelY();
// The primary screen's size in twips.
float screenWidthTwips();
float screenHeightTwips();

// The command-line text from the arguments after the program's own path:
// joined by single blanks, "" when there are none. A text wholly enclosed in
// one pair of double quotes loses them, so a quoted path opens.
QString commandLineFrom(const QStringList& argumentsAfterProgram);
// The command-line text of this process.
QString Command();

// True when another copy of this program runs for the same user. The first
// call takes a per-user lock held until the process ends; the kernel drops it
// when the process dies, however it dies.
bool PrevInstance();
// Where the lock lives: $XDG_RUNTIME_DIR/vantrel.lock, else /tmp/vantrel-<uid>.lock.
QString instanceLockPath();

} // namespace forms
