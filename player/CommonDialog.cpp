#include "player/CommonDialog.h"

#include "app/TestHooks.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace player {

QString qtFilterFrom(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        entries << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return entries.join(QStringLiteral(";;"));
}

bool CommonDialog::ShowOpen()
{
    QString chosen;
    if (auto forced = vantrel::testhooks::openDialogOverride()) {
        chosen = *forced;
    } else {
        const QString startAt = FileName.isEmpty() ? QString() : QFileInfo(FileName).absolutePath();
        chosen = QFileDialog::getOpenFileName(m_owner, QString(), startAt, qtFilterFrom(Filter));
    }
    if (chosen.isEmpty())
        return false;
    FileName = chosen;
    return true;
}

} // namespace player
