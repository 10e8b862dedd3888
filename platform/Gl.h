#pragma once

// OpenGL through libepoxy, then GLU, in the order they must be included.
// clang-format off
#include <epoxy/gl.h>
#include <GL/glu.h>
// clang-format on
