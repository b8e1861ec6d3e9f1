#pragma once

#include <memory>
#include <utility>

#include <dirent.h>
#include <unistd.h>
#include <zip.h>

namespace Unzip {

// A file descriptor that closes itself.
class UniqueFd
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes the descriptor and reports whether that worked (a late write error shows here).
    bool close()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

struct ZipDiscard
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileClose
{
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
struct DirClose
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

using ZipArchivePtr = std::unique_ptr<zip_t, ZipDiscard>;
using ZipFilePtr = std::unique_ptr<zip_file_t, ZipFileClose>;
using DirPtr = std::unique_ptr<DIR, DirClose>;

} // namespace Unzip
