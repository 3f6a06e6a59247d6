#include "host/base/UT_DPI.h"

float UT_DPI::s_dpiScale = 1.0f;
