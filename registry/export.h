#pragma once

// The plug-in is built with hidden visibility; only what carries RIGKIT_EXPORT is seen by
// the host: the entry point and the classes exported whole.
#if defined(_WIN32)
#    if defined(rigkit_EXPORTS)
#        define RIGKIT_EXPORT __declspec(dllexport)
#    else
#        define RIGKIT_EXPORT __declspec(dllimport)
#    endif
#else
#    if defined(rigkit_EXPORTS)
#        define RIGKIT_EXPORT __attribute__((visibility("default")))
#    else
#        define RIGKIT_EXPORT
#    endif
#endif
