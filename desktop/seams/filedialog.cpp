#include "desktop/seams/filedialog.h"

#include <QApplication>
#include <QFileDialog>

namespace uplark {

using namespace Qt::StringLiterals;

QStringList nameFiltersFromPipeFilter(const QString &filter)
{
    const QStringList fields = filter.split(u'|');
    QStringList result;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        const QString &description = fields.at(i);
        if (description.isEmpty())
            break;
        QStringList patterns = fields.at(i + 1).split(u';', Qt::SkipEmptyParts);
        result.append(description + u" ("_s + patterns.join(u' ') + u')');
    }
    return result;
}

QString QtFileDialog::openFile(const QString &filter)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Qt's own dialog matches name filters without regard to case.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const QStringList filters = nameFiltersFromPipeFilter(filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.first());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace uplark
