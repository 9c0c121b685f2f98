#pragma once

#include "account/form2.h"
#include "app/form1.h"
#include "doubles.h"
#include "fakesite.h"
#include "platform/widgets.h"
#include "uplark_config.h"

#include <QLineEdit>
#include <QString>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

inline const QString Success = u"Your YouTube account information has been successfully set "
                               "on this program. You can start uploading videos to your account "
                               "now."_s;

// The main window with the site host led to `site`, the intro skipped and
// `user`/`password` stored.
struct AccountSetup
{
    AccountSetup(const FakeSite &site, const QString &user, const QString &password)
        : user(user)
        , password(password)
    {
        site.route(t.platform.routes);
        t.setSetting(u"check1"_s, u"1"_s);
        t.setSetting(u"un"_s, user);
        t.setSetting(u"pw"_s, password);
        main = std::make_unique<Form1>(t.platform);
    }

    // The store and the main window still hold the account stored at the start.
    bool untouched() const
    {
        return t.setting(u"un"_s) == user && t.setting(u"pw"_s) == password && main->un == user
               && main->pw == password;
    }

    QString user, password;
    TestPlatform t;
    std::unique_ptr<Form1> main;
};

// The dialog is open and waits for input: Save shown, busy panel hidden,
// fields editable.
inline bool Input(const Form2 &d)
{
    return !d.isHidden() && !d.Picture5->isHidden() && d.Picture4->isHidden()
           && !d.Text1->isReadOnly() && !d.Text2->isReadOnly();
}

inline void Save(Form2 &d, const QString &user, const QString &password)
{
    d.Text1->setText(user);
    d.Text2->setText(password);
    QTest::mouseClick(d.Label7, Qt::LeftButton);
}
