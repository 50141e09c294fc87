// The system's list of mounted file systems, read through libmount, and the
// lookups the camera volume and the removable-drive test make in it.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

/** One mounted file system. */
struct MountEntry
{
    std::string source;          ///< what is mounted, e.g. /dev/sdb1 or server:/share
    std::string target;          ///< the mount point, unescaped
    std::string fileSystemType;
    dev_t deviceNumber = 0;      ///< st_dev of the files on it; 0 when the table has none
    bool isNetwork = false;      ///< a network file system (nfs, cifs, ...)
};

/**
    A snapshot of the mount table. Plain data: read it on any thread, use it on that
    thread.
*/
class MountTable
{
public:
    /** The file the table is read from: $VORNIQ_MOUNTINFO when set and not empty
        (tests point it at a fixture), otherwise /proc/self/mountinfo. */
    static std::string getDefaultPath();

    /** Reads a table in mountinfo (or mtab) format, as the first line shows; lines
        that cannot be parsed are skipped, and a file that cannot be read gives an
        empty table. */
    static MountTable read (const std::string& path = getDefaultPath());

    /** The mounts in the order of the table (the order they were mounted). */
    const std::vector<MountEntry>& getEntries() const    { return entries; }

    /** The mount that holds an absolute, normalised path: the one with the longest
        mount point that is the path or one of its parent folders; of equal ones the
        last, since a later mount hides an earlier one. Null when none does (only
        when the table has no "/"). The pointer lives as long as the table. */
    const MountEntry* findMountHolding (const std::string& absolutePath) const;

private:
    std::vector<MountEntry> entries;
};
