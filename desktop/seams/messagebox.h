#pragma once

#include <QString>

namespace uplark {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { Critical, Information, Question };
enum class MsgAnswer { Ok, Yes, No };

// Caption of every message box that gives none of its own.
QString applicationTitle();

// Modal message boxes. The real one is QtMessageBox; tests use a recorder.
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Shows `text` and returns the answer. With Yes and No, No is the default button.
    virtual MsgAnswer show(const QString &text, MsgButtons buttons, MsgIcon icon,
                           const QString &title) = 0;

    MsgAnswer show(const QString &text, MsgButtons buttons, MsgIcon icon)
    {
        return show(text, buttons, icon, applicationTitle());
    }
};

class QtMessageBox : public MessageBox
{
public:
    using MessageBox::show;
    MsgAnswer show(const QString &text, MsgButtons buttons, MsgIcon icon,
                   const QString &title) override;
};

} // namespace uplark
