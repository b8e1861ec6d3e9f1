#include "InstalledIndex.h"

#include "FileLookup.h"
#include "FolderListing.h"
#include "LocalText.h"

#include <algorithm>
#include <array>

namespace {

bool isAscii(QByteArrayView name)
{
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

QByteArray asciiLower(QByteArrayView name)
{
    QByteArray lower(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i)
        lower[i] = asciiLower(name[i]);
    return lower;
}

// `out` must hold name.size() characters.
QByteArrayView lowerInto(QByteArrayView name, char* out)
{
    for (qsizetype i = 0; i < name.size(); ++i)
        out[i] = asciiLower(name[i]);
    return QByteArrayView(out, name.size());
}

QString folded(QByteArrayView name)
{
    return Platform::decodeLocal(name).toCaseFolded();
}

} // namespace

char* InstalledIndex::NameSet::place(qsizetype size)
{
    if (m_free < size) {
        const qsizetype capacity = std::max<qsizetype>(qsizetype(64) * 1024, size);
        m_blocks.emplace_back(new char[static_cast<std::size_t>(capacity)]);
        m_next = m_blocks.back().get();
        m_free = capacity;
    }
    char* at = m_next;
    m_next += size;
    m_free -= size;
    return at;
}

void InstalledIndex::NameSet::insert(QByteArrayView name)
{
    if (isAscii(name)) {
        m_ascii.insert(lowerInto(name, place(name.size())));
        return;
    }
    const QString key = folded(name);
    m_other.insert(key);
    // Some letters fold to plain ASCII ones.
    const QByteArray bytes = Platform::encodeLocal(key);
    if (isAscii(bytes))
        m_ascii.insert(lowerInto(bytes, place(bytes.size())));
}

bool InstalledIndex::NameSet::contains(QByteArrayView name) const
{
    if (!isAscii(name)) {
        const QString key = folded(name);
        const QByteArray bytes = Platform::encodeLocal(key);
        return m_other.contains(key) || (isAscii(bytes) && m_ascii.contains(bytes));
    }
    // Set names are short: lower-case them on the stack.
    std::array<char, 256> buffer;
    if (name.size() > qsizetype(buffer.size()))
        return m_ascii.contains(asciiLower(name));
    return m_ascii.contains(lowerInto(name, buffer.data()));
}

InstalledIndex::InstalledIndex(const QDir& workDir)
{
    Platform::listFolder(workDir.absolutePath(),
                         [this](QByteArrayView name, Platform::ListedKind) { m_entries.insert(name); });

    const QString roms = Platform::findEntry(workDir, QStringLiteral("roms"), Platform::EntryKind::Folder);
    if (roms.isEmpty())
        return;
    Platform::listFolder(roms, [this](QByteArrayView name, Platform::ListedKind kind) {
        constexpr QByteArrayView suffix(".zip");
        if (kind != Platform::ListedKind::File || name.size() <= suffix.size())
            return;
        const QByteArrayView stem = name.first(name.size() - suffix.size());
        const QByteArrayView end = name.last(suffix.size());
        if (asciiLower(end) == suffix)
            m_zips.insert(stem);
    });
}
