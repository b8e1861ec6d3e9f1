#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QByteArray>

// A broken invariant stops the run: libFuzzer then saves the input that caused it.
inline void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "broken invariant: %s\n", what);
        std::abort();
    }
}

inline QByteArray bytesOf(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}
