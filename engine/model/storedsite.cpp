#include "engine/model/storedsite.h"

#include "engine/model/settings.h"

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

const QString App = QString::fromUtf16(SettingsApp);

} // namespace

QString storedSite(const SettingsStore &store)
{
    return store.value(App, App, u"site"_s);
}

bool storeSite(SettingsStore &store, const QByteArray &authority)
{
    // The build's site needs no key: a settings file without one stays as it is.
    if (authority.isEmpty() && storedSite(store).isEmpty())
        return true;
    return store.setValue(App, App, u"site"_s, QString::fromLatin1(authority));
}

} // namespace uplark
