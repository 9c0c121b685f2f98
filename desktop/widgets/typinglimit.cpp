#include "desktop/widgets/typinglimit.h"

#include <QLineEdit>

namespace uplark {

TypingLimit::TypingLimit(QLineEdit *edit, int limit)
    : QValidator(edit)
    , m_edit(edit)
    , m_limit(limit)
    , m_current(edit->text())
{
    edit->setValidator(this);
    connect(edit, &QLineEdit::textChanged, this, [this](const QString &text) { m_current = text; });
}

void TypingLimit::setText(const QString &text)
{
    m_current = text;
    m_edit->setText(text);
}

QValidator::State TypingLimit::validate(QString &input, int &pos) const
{
    // A text longer than the limit may stay as long as it is, never grow.
    const qsizetype ceiling = qMax<qsizetype>(m_limit, m_current.size());
    const qsizetype excess = input.size() - ceiling;
    if (excess <= 0)
        return Acceptable;
    // The inserted text ends at the cursor: drop its tail that does not fit.
    if (pos < excess)
        return Invalid;
    QString fitted = input;
    fitted.remove(pos - excess, excess);
    if (fitted == m_current)
        return Invalid;
    input = fitted;
    pos -= int(excess);
    return Acceptable;
}

} // namespace uplark
