#include "desktop/seams/desktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

namespace uplark {

void QtDesktop::clearClipboard()
{
    QGuiApplication::clipboard()->clear();
}

void QtDesktop::setClipboardText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

bool QtDesktop::openUrl(const QString &address)
{
    return QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

} // namespace uplark
