#include "player/WebPagePrompt.h"

#include "app/TestHooks.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>

namespace player {

bool isWebPage(const QString& url)
{
    const QString u = url.trimmed();
    return u.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || u.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

QString webPagePromptText(const QString& url)
{
    return QStringLiteral("影片要求打开网页：\n%1\n是否在浏览器中打开？").arg(url.trimmed());
}

bool askToOpenWebPage(QWidget* parent, const QString& url)
{
    if (!isWebPage(url))
        return false;
    vantrel::testhooks::log({ QStringLiteral("msgbox"), QStringLiteral("Vantrel"),
        vantrel::testhooks::escapeLineBreaks(webPagePromptText(url)) });
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vantrel"), webPagePromptText(url),
        QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    if (vantrel::testhooks::autoDismissMessageBoxes())
        QTimer::singleShot(0, &box, [&box] { box.reject(); });
    if (box.exec() != QMessageBox::Yes)
        return false;
    return QDesktopServices::openUrl(QUrl(url.trimmed()));
}

} // namespace player
