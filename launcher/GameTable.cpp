#include "GameTable.h"

bool GameTable::add(const QString& name, const QString& description, bool zipped)
{
    if (m_count >= SlotCount)
        return false;
    Slot& slot = m_slots[static_cast<std::size_t>(m_count++)];
    slot.romname = name;
    slot.romdesc = description;
    slot.romzip = zipped ? QStringLiteral("zip") : QString();
    return true;
}

const GameTable::Slot* GameTable::slot(int index) const
{
    if (index < 0 || index >= SlotCount)
        return nullptr;
    return &m_slots[static_cast<std::size_t>(index)];
}

QString GameTable::romname(int index) const
{
    const Slot* s = slot(index);
    return s ? s->romname : QString();
}

QString GameTable::romdesc(int index) const
{
    const Slot* s = slot(index);
    return s ? s->romdesc : QString();
}

QString GameTable::romzip(int index) const
{
    const Slot* s = slot(index);
    return s ? s->romzip : QString();
}

int GameTable::FindSelected(const QString& text) const
{
    for (int i = 0; i < m_count; ++i) {
        if (m_slots[static_cast<std::size_t>(i)].romdesc == text)
            return i;
    }
    return NoSlot;
}
