#pragma once
// Qt widgets behind the toolkit interfaces.
#include "platform/Toolkit.h"
