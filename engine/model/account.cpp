#include "engine/model/account.h"

#include "engine/model/settings.h"

using namespace Qt::StringLiterals;

namespace uplark {

namespace {

const QString App = QString::fromUtf16(SettingsApp);

} // namespace

Account storedAccount(const SettingsStore &store)
{
    return {store.value(App, App, u"un"_s), store.value(App, App, u"pw"_s)};
}

bool storeAccount(SettingsStore &store, const Account &account)
{
    const bool user = store.setValue(App, App, u"un"_s, account.user);
    return store.setValue(App, App, u"pw"_s, account.password) && user;
}

bool forgetStoredAccount(SettingsStore &store)
{
    return storeAccount(store, {});
}

bool introSkipped(const SettingsStore &store)
{
    return store.value(App, App, u"check1"_s) == u"1";
}

void setIntroSkipped(SettingsStore &store, bool skipped)
{
    store.setValue(App, App, u"check1"_s, skipped ? u"1"_s : u"0"_s);
}

} // namespace uplark
