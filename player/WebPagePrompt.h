#pragma once

// A movie's getURL to a web page: the user is asked first, and only a Yes
// opens the browser. Other addresses (local pages, javascript:) go nowhere.

#include <QString>

class QWidget;

namespace player {

// True for the addresses the prompt is shown for (http: and https:).
bool isWebPage(const QString& url);
// The prompt's text: the request, the address on its own line, the question.
QString webPagePromptText(const QString& url);
// Asks with a modal box (No is the default) and opens the page on Yes.
// Returns whether the page was opened.
bool askToOpenWebPage(QWidget* parent, const QString& url);

} // namespace player
