#include "host/prefs/PR_CachedPreferences.h"

bool PR_CachedPreferences::_PegDefaultBezier = false;
bool PR_CachedPreferences::_SpConstantSegment = false;
