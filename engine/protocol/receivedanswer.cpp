#include "engine/protocol/receivedanswer.h"

namespace uplark {

void ReceivedAnswer::append(const QByteArray &chunk)
{
    if (m_start.size() < StartKept)
        m_start += chunk.left(StartKept - m_start.size());
    if (chunk.size() >= TextKept)
        m_text = chunk.right(TextKept);
    else
        m_text += chunk;
    if (m_text.size() > TextKept)
        m_text.remove(0, m_text.size() - TextKept);
    m_total += chunk.size();
}

void ReceivedAnswer::clear()
{
    m_start.clear();
    m_text.clear();
    m_total = 0;
}

} // namespace uplark
