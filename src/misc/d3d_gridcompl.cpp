#include <misc/d3d_gridcompl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
const char *const complTag = "D3D_GridCompl";
}

D3D_AqtLoader D3D_GridCompl::aqtLoader = nullptr;

D3D_GridCompl::D3D_GridCompl() : akt_FileFormatIn(D3D_FFI_not_specified) {}

D3D_GridCompl::D3D_GridCompl(unsigned long nx, unsigned long ny)
    : D3D_Grid<cpx>(nx, ny), akt_FileFormatIn(D3D_FFI_not_specified)
{
}

D3D_GridCompl::D3D_GridCompl(char *InPath, unsigned long nSpecs)
    : akt_FileFormatIn(D3D_FFI_not_specified)
{
    const size_t length = strlen(InPath);
    const char *suffix = length >= 4 ? InPath + length - 4 : "";
    printf("Suffix:'%s'\n", suffix);
    fflush(stdout);

    bool load = false;
    switch (akt_FileFormatIn) {
    case D3D_FFI_not_specified:
        load = strncmp(suffix, ".aqt", 4) == 0;
        break;
    case D3D_FFI_aqt:
        load = true;
        break;
    default:
        fprintf(stderr, "%s: Unknown FileFormatIn! No load of '%s' done.\n", complTag, InPath);
        exit(-1);
    }
    if (!load)
        return;
    D3D_AqtLoader loader = aqtLoader ? aqtLoader : read_Grid_from_aqt;
    if (!loader || loader(this, InPath, nSpecs) != 0) {
        fprintf(stderr, "%s: Cant't read '%s'\n", complTag, InPath);
        release();
        sizex = 0;
        sizey = 0;
    }
}

D3D_AqtLoader D3D_GridCompl::setAqtLoader(D3D_AqtLoader loader)
{
    D3D_AqtLoader previous = aqtLoader;
    aqtLoader = loader;
    return previous;
}

int D3D_GridCompl::checkFile(char *) { return 0; }

cpx D3D_GridCompl::getData(unsigned long ix, unsigned long iy) const
{
    if (ix >= sizex || iy >= sizey) {
        fprintf(stderr, "%s: index of getData out of range (%d, %d)\n", complTag, (int)ix, (int)iy);
        exit(-1);
    }
    return Data[ix * sizey + iy];
}

float D3D_GridCompl::getMag(unsigned long ix, unsigned long iy) const
{
    if (ix >= sizex || iy >= sizey) {
        fprintf(stderr, "%s: index of getMag out of range (%d, %d)\n", complTag, (int)ix, (int)iy);
        exit(-1);
    }
    return Data[ix * sizey + iy].mag;
}

float D3D_GridCompl::getPhase(unsigned long ix, unsigned long iy) const
{
    if (ix >= sizex || iy >= sizey) {
        fprintf(stderr, "%s: index of getPhgase out of range (%d, %d)\n", complTag, (int)ix, (int)iy);
        exit(-1);
    }
    return Data[ix * sizey + iy].pha;
}

int D3D_GridCompl::read(std::ifstream &in) { return D3D_Grid<cpx>::read(in); }

int D3D_GridCompl::write(std::ofstream &out)
{
    D3D_Grid<cpx>::write(out);
    return 1;
}

void D3D_GridCompl::debug()
{
    D3D_Grid<cpx>::debug();
    fflush(stdout);
    for (unsigned long ix = 0; ix < sizex; ++ix) {
        for (unsigned long iy = 0; iy < sizey; ++iy) {
            const cpx &c = Data[ix * sizey + iy];
            fprintf(stderr, "[%d,%d]=%f,%f \t", (int)ix, (int)iy, c.mag, c.pha);
        }
        fprintf(stderr, "\n");
    }
    fprintf(stderr, "\n\n");
}
