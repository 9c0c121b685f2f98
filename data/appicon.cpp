#include "data/appicon.h"

#include <QString>

using namespace Qt::StringLiterals;

namespace uplark {

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString name = QString::number(size);
        icon.addFile(u":/uplark/icons/"_s + name + u'x' + name + u"/uplark.png"_s,
                     QSize(size, size));
    }
    return icon;
}

} // namespace uplark
