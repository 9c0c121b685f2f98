#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

namespace uplark {

// Lets typing, pasting and dropping lengthen a line edit's text to at most
// `limit` characters, while a longer text the program puts into it is shown
// whole and can still be shortened. (QLineEdit::setMaxLength would cut such a
// text, and resets the cursor whenever it is changed.)
//
// An insertion that would go beyond the limit keeps only as much of the
// inserted text as fits; one that would add nothing is refused.
class TypingLimit : public QValidator
{
    Q_OBJECT
public:
    // Becomes the validator of `edit`, which owns it.
    TypingLimit(QLineEdit *edit, int limit);

    // Puts `text` into the edit whole, however long it is.
    void setText(const QString &text);

    State validate(QString &input, int &pos) const override;

private:
    QLineEdit *m_edit;
    int m_limit;
    QString m_current; // the edit's text before the change being validated
};

} // namespace uplark
