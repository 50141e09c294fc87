// Whether a file lives on a drive that can be unplugged (a card, a stick, the camera
// itself), for the import copy rule. JUCE's File::isOnRemovableDrive cannot tell on Linux.
#pragma once

#include <string>

class MountTable;

/** True when the file system holding path is mounted from a block device whose disk
    is removable or sits on USB. False for anything else: internal disks, network and
    virtual file systems, and paths no mount holds. The path need not exist (its
    nearest existing folder decides); a relative one is taken from the working folder.
    Any thread. */
bool isOnRemovableDrive (const std::string& path);

/** The same, looking the path up in the given mount table. */
bool isOnRemovableDrive (const std::string& path, const MountTable& mounts);
