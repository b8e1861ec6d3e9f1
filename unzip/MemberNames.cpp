#include "MemberNames.h"

#include "LocalText.h"

#include <climits>

namespace Unzip {

MemberPath splitMemberName(const QByteArray& stored, bool spaceToUnderscore)
{
    MemberPath member;
    const qsizetype size = stored.size();
    member.isFolder = size > 0 && (stored.back() == '/' || stored.back() == '\\');
    const bool driveLetter = size >= 2 && stored.at(1) == ':' && QChar::isLetter(uchar(stored.at(0)));
    if (size == 0 || stored.front() == '/' || stored.front() == '\\' || driveLetter) {
        member.problem = size == 0 ? MemberPath::Problem::None : MemberPath::Problem::Unsafe;
        return member;
    }
    qsizetype relativeLength = 0;
    qsizetype start = 0;
    for (qsizetype at = 0; at <= size; ++at) {
        if (at < size && stored.at(at) != '/' && stored.at(at) != '\\')
            continue;
        const qsizetype length = at - start;
        const char* name = stored.constData() + start;
        start = at + 1;
        if (length == 0 || (length == 1 && name[0] == '.'))
            continue;
        if (length == 2 && name[0] == '.' && name[1] == '.') {
            member.problem = MemberPath::Problem::Unsafe;
            return member;
        }
        if (length > NAME_MAX) {
            member.problem = MemberPath::Problem::TooLong;
            return member;
        }
        relativeLength += length + 1;
        if (relativeLength >= PATH_MAX) {
            member.problem = MemberPath::Problem::TooLong;
            return member;
        }
        if (member.parts.size() > MaxFolderDepth) {
            member.problem = MemberPath::Problem::TooDeep;
            return member;
        }
        QByteArray part(name, length);
        if (spaceToUnderscore)
            part.replace(' ', '_');
        member.parts.append(part);
    }
    if (member.isFolder && member.parts.size() > MaxFolderDepth)
        member.problem = MemberPath::Problem::TooDeep;
    return member;
}

QByteArray shownName(const QByteArray& stored)
{
    return QByteArray(stored).replace('\\', '/');
}

bool wildcardMatch(QStringView pattern, QStringView name, Qt::CaseSensitivity cs)
{
    const auto same = [cs](QChar a, QChar b) {
        return cs == Qt::CaseSensitive ? a == b : a.toCaseFolded() == b.toCaseFolded();
    };
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern.at(p) == QLatin1Char('?') || same(pattern.at(p), name.at(n)))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

QByteArray foldName(const QByteArray& name)
{
    bool upper = false;
    for (const char c : name) {
        if (uchar(c) >= 0x80)
            return Platform::encodeLocal(Platform::decodeLocal(name).toCaseFolded());
        upper = upper || (c >= 'A' && c <= 'Z');
    }
    return upper ? name.toLower() : name;
}

} // namespace Unzip
