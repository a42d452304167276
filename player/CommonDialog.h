#pragma once

// The open dialog `cdg`: the platform's standard Open dialog through Qt. It
// keeps its FileName between uses.

#include <QString>

class QWidget;

namespace player {

// The dialog's filter string ("description|pattern|description|pattern",
// patterns separated by ';') in Qt's form ("description (pattern pattern);;...").
QString qtFilterFrom(const QString& filter);

class CommonDialog {
public:
    explicit CommonDialog(QWidget* owner = nullptr)
        : m_owner(owner)
    {
    }

    QString Filter;
    QString FileName;

    // Shows the modal Open dialog. Returns true when the user chose a file
    // (FileName then holds it); false on a cancel, FileName unchanged.
    bool ShowOpen();

private:
    QWidget* m_owner;
};

} // namespace player
