#pragma once

// The one place the host's drawing code includes OpenGL: the fixed-function API of
// OpenGL 1.x plus the framebuffer objects of later versions, which the compatibility
// context exposes and libOpenGL exports directly.

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
