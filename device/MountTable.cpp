#include "device/MountTable.h"

#include <cstdlib>
#include <memory>

#include <libmount.h>

namespace
{
    struct TableRelease { void operator() (libmnt_table* t) const { mnt_unref_table (t); } };
    struct IterRelease  { void operator() (libmnt_iter* i) const  { mnt_free_iter (i); } };

    std::string text (const char* value)
    {
        return value != nullptr ? value : "";
    }

    /** True when mountPoint is path itself or one of the folders above it. */
    bool holds (const std::string& mountPoint, const std::string& path)
    {
        if (mountPoint == "/")
            return ! path.empty() && path[0] == '/';

        if (path.compare (0, mountPoint.size(), mountPoint) != 0)
            return false;

        return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
    }
}

std::string MountTable::getDefaultPath()
{
    if (const char* path = std::getenv ("VORNIQ_MOUNTINFO"); path != nullptr && *path != 0)
        return path;

    return "/proc/self/mountinfo";
}

MountTable MountTable::read (const std::string& path)
{
    MountTable result;

    std::unique_ptr<libmnt_table, TableRelease> table (mnt_new_table());
    std::unique_ptr<libmnt_iter, IterRelease> iter (mnt_new_iter (MNT_ITER_FORWARD));

    if (table == nullptr || iter == nullptr)
        return result;

    // libmount skips lines it cannot parse (it takes the format from the first line).
    if (mnt_table_parse_file (table.get(), path.c_str()) != 0)
        return result;

    libmnt_fs* fs = nullptr;

    while (mnt_table_next_fs (table.get(), iter.get(), &fs) == 0)
    {
        MountEntry entry;
        entry.source = text (mnt_fs_get_source (fs));
        entry.target = text (mnt_fs_get_target (fs));
        entry.fileSystemType = text (mnt_fs_get_fstype (fs));
        entry.deviceNumber = mnt_fs_get_devno (fs);
        entry.isNetwork = mnt_fs_is_netfs (fs) != 0;

        if (! entry.target.empty())
            result.entries.push_back (std::move (entry));
    }

    return result;
}

const MountEntry* MountTable::findMountHolding (const std::string& absolutePath) const
{
    const MountEntry* best = nullptr;

    for (auto& entry : entries)
        if (holds (entry.target, absolutePath)
             && (best == nullptr || entry.target.size() >= best->target.size()))
            best = &entry;

    return best;
}
