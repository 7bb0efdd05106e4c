// The renderer program without a reference of its own on the scene root
// (the viewer takes its own).
#include "qvRendererMain.h"

int main(int argc, char **argv)
{
    return qvRendererProgram::run(argc, argv, false);
}
