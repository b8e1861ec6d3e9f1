#pragma once

#include <QString>

#include <array>

// The installed games, in catalogue order: 51 slots of set name, description and zip marker.
// Slots past the last installed game stay empty.
class GameTable final
{
public:
    static constexpr int SlotCount = 51;
    static constexpr int NoSlot = -1;

    // Fills the next free slot. Returns false, storing nothing, when all slots are taken.
    bool add(const QString& name, const QString& description, bool zipped);

    int count() const { return m_count; }

    // Columns of a slot; an empty text for an unfilled slot or one outside the table.
    QString romname(int slot) const;
    QString romdesc(int slot) const;
    QString romzip(int slot) const;

    // The first filled slot whose description equals `text` exactly, or NoSlot.
    int FindSelected(const QString& text) const;

private:
    struct Slot
    {
        QString romname;
        QString romdesc;
        QString romzip;
    };

    const Slot* slot(int index) const;

    std::array<Slot, SlotCount> m_slots;
    int m_count = 0;
};
