#pragma once

#include <QString>

namespace uplark {

// The clipboard and the desktop's way of opening an address in the user's
// default browser.
class Desktop
{
public:
    virtual ~Desktop() = default;
    virtual void clearClipboard() = 0;
    virtual void setClipboardText(const QString &text) = 0;
    // True when the desktop accepted the address.
    virtual bool openUrl(const QString &address) = 0;
};

class QtDesktop : public Desktop
{
public:
    void clearClipboard() override;
    void setClipboardText(const QString &text) override;
    bool openUrl(const QString &address) override;
};

} // namespace uplark
