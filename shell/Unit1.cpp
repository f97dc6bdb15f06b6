#include "shell/Unit1.h"
TForm1::TForm1(int) {}
