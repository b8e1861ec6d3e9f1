#pragma once

#include "UniqueFd.h"

#include <memory>

#include <dirent.h>
#include <unistd.h>
#include <zip.h>

namespace Unzip {

using Platform::UniqueFd;

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
