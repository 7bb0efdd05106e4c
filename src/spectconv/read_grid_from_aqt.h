// Loader of D3D_GridCompl for analysis files; ends the process when the
// file cannot be opened or decoded, else returns 0.
#ifndef QV_READ_GRID_FROM_AQT_H
#define QV_READ_GRID_FROM_AQT_H

#include <misc/d3d_gridcompl.h>

int read_Grid_from_aqt(D3D_GridCompl *grid, char *inPath, unsigned long nSpecs);

#endif
