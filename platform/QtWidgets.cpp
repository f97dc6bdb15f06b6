#include "platform/QtWidgets.h"
