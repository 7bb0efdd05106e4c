// Programs that open a scene file look for the files it names beside it
// too (after the working directory and the kit node's directories).
#ifndef QV_SCENE_DIRECTORY_H
#define QV_SCENE_DIRECTORY_H

#include <Inventor/SoInput.h>

#include <string>

inline void qvAddSceneDirectory(const char *scenePath)
{
    const std::string path = scenePath != nullptr ? scenePath : "";
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return; // the working directory is searched anyway
    SoInput::addDirectoryLast(path.substr(0, slash == 0 ? 1 : slash).c_str());
}

#endif
