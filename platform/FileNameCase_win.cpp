#include "platform/FileSystem.h"

// NTFS and FAT compare names without regard to case by default.
bool platform::FileNamesIgnoreCase() { return true; }
