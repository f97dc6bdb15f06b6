#include "platform/FileSystem.h"

bool platform::FileNamesIgnoreCase() { return false; }
