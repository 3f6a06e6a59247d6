#pragma once

// The host library is loaded beside plug-ins built with hidden visibility. Every host class
// a plug-in derives from, casts to or calls must stay visible from their side too, or the
// plug-in would link against hidden typeinfo and vtables.
#if defined(_WIN32)
#    if defined(rigkit_host_EXPORTS)
#        define HOST_API __declspec(dllexport)
#    else
#        define HOST_API __declspec(dllimport)
#    endif
#else
#    define HOST_API __attribute__((visibility("default")))
#endif
