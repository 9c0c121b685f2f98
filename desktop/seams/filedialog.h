#pragma once

#include <QString>
#include <QStringList>

namespace uplark {

// The file-open dialog. The filter is given as pairs of description and
// patterns separated by "|" ("Video files|*.MPG;*.AVI|All files (*.*)|*.*|");
// the first pair is selected when the dialog opens.
class FileDialog
{
public:
    virtual ~FileDialog() = default;
    // The chosen path, or an empty string when the user cancelled.
    virtual QString openFile(const QString &filter) = 0;
};

// Qt name filters for a "|"-separated filter: "Description (pattern pattern)",
// each pattern in lower and in upper case ("*.mpg *.MPG").
QStringList nameFiltersFromPipeFilter(const QString &filter);

class QtFileDialog : public FileDialog
{
public:
    QString openFile(const QString &filter) override;
};

} // namespace uplark
