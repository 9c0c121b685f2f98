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
        // Each pattern in lower and in upper case: some desktops' dialogs
        // match names with regard to case.
        QStringList patterns;
        for (const QString &pattern : fields.at(i + 1).split(u';', Qt::SkipEmptyParts))
            for (const QString &variant : {pattern.toLower(), pattern.toUpper()})
                if (!patterns.contains(variant))
                    patterns.append(variant);
        result.append(description + u" ("_s + patterns.join(u' ') + u')');
    }
    return result;
}

QString QtFileDialog::openFile(const QString &filter)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The desktop's own dialog where the platform theme provides one, Qt's
    // elsewhere.
    const QStringList filters = nameFiltersFromPipeFilter(filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.first());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace uplark
