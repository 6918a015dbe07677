#pragma once
// OpenGL 1.1 as the platform declares it (Windows' gl.h needs windows.h
// first). Drawing uses nothing newer, since that is what opengl32 exports.
#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>
