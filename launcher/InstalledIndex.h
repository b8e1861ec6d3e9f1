#pragma once

#include <QByteArrayView>
#include <QDir>
#include <QSet>
#include <QString>

#include <memory>
#include <vector>

// What is installed in the working folder, listed once so that a large catalogue costs one hash
// lookup per game instead of a look at the disk. Names are matched without regard to case, and
// compared as raw bytes where they are plain ASCII, which is nearly always.
class InstalledIndex final
{
public:
    explicit InstalledIndex(const QDir& workDir);

    // A file or folder of that name in the working folder: an unpacked set.
    bool isUnpacked(QByteArrayView name) const { return m_entries.contains(name); }
    // An ordinary file roms\<name>.zip: a zipped set.
    bool isZipped(QByteArrayView name) const { return m_zips.contains(name); }

private:
    class NameSet
    {
    public:
        void insert(QByteArrayView name);
        bool contains(QByteArrayView name) const;

    private:
        // Room for `size` characters that stays put as long as the set.
        char* place(qsizetype size);

        // Lower-cased ASCII names live in large blocks rather than one allocation each.
        std::vector<std::unique_ptr<char[]>> m_blocks;
        char* m_next = nullptr;
        qsizetype m_free = 0;
        QSet<QByteArrayView> m_ascii;
        QSet<QString> m_other; // case-folded
    };

    NameSet m_entries;
    NameSet m_zips;
};
