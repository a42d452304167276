#pragma once

// Hooks through which the end-to-end and unit tests observe and steer the
// program from outside. Each one is inert unless its environment variable is
// set, so a normal run neither writes nor changes anything.
//
//   VANTREL_TEST_LOG=<path>     append one UTF-8 line per observable event,
//                               fields separated by tabs, flushed at once:
//                                 load\t<form>          a form's load handler ran
//                                 unload\t<form>        a form was unloaded
//                                 msgbox\t<title>\t<text>  (CR and LF written as \r and \n)
//                                 popup\t<x>\t<y>       global pointer position, before the menu opens
//                                 player\t<Member>\t<argument or empty>
//                                 frame\t<n>            the current frame after Back or Forward
//                                 state\t<0|1|2>        the main window's state changed
//                                 tooltip\t<control>\t<text>  a tooltip set at run time
//                                 move\tbegin / move\tend  around the interactive move
//                                 end                   just before the program ends at once
//   VANTREL_TEST_AUTODISMISS=1  every message box closes right after it is shown
//                               (and logged), as if OK had been pressed.
//   VANTREL_TEST_OPEN_CANCEL=1  the Open dialog behaves as cancelled, without showing.
//   VANTREL_TEST_OPEN_FILE=<p>  the Open dialog returns <p> as if chosen, without showing.

#include <QString>
#include <QStringList>

#include <optional>

namespace vantrel::testhooks {

// Appends one line made of `fields` joined by tabs, if the log is enabled.
void log(const QStringList& fields);

// Writes CR and LF as the two-character escapes \r and \n, for the log.
QString escapeLineBreaks(const QString& text);

bool autoDismissMessageBoxes();

// What the Open dialog should do instead of showing itself: std::nullopt to
// show the real dialog; an empty string for a cancel; a path for a choice.
std::optional<QString> openDialogOverride();

// Re-reads the environment (tests change it between cases).
void reload();

} // namespace vantrel::testhooks
