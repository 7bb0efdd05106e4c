// A grid of complex cells that can load itself from an analysis file.
#ifndef D3D_GRIDCOMPL_H
#define D3D_GRIDCOMPL_H

#include <misc/d3d_grid.h>

enum D3D_FileFormatIn {
    D3D_FFI_not_specified = 0,
    D3D_FFI_aqt = 1,
    D3D_FFI_Procom = 2
};

class D3D_GridCompl;

// Fills a grid with nSpecs rows from an analysis file; 0 on success.
typedef int (*D3D_AqtLoader)(D3D_GridCompl *grid, char *inPath, unsigned long nSpecs);

class D3D_GridCompl : public D3D_Grid<cpx> {
  public:
    D3D_FileFormatIn akt_FileFormatIn;

    D3D_GridCompl();
    D3D_GridCompl(unsigned long nx, unsigned long ny);
    // Loads the grid from InPath when its last four characters are
    // ".aqt", with the program's analysis loader.
    D3D_GridCompl(char *InPath, unsigned long nSpecs);

    // The loader the file-name constructor calls. A program that defines
    // read_Grid_from_aqt gets it without setting anything; returns the
    // previous loader.
    static D3D_AqtLoader setAqtLoader(D3D_AqtLoader loader);

    D3D_FileFormatIn getFileFormatIn() const { return akt_FileFormatIn; }
    void setFileFormatIn(D3D_FileFormatIn format) { akt_FileFormatIn = format; }
    int checkFile(char *path);

    // Out of range: message and exit status -1.
    cpx getData(unsigned long ix, unsigned long iy) const;
    float getMag(unsigned long ix, unsigned long iy) const;
    float getPhase(unsigned long ix, unsigned long iy) const;

    int read(std::ifstream &in);
    int write(std::ofstream &out);
    void debug();

  private:
    static D3D_AqtLoader aqtLoader;
};

// Supplied by the converter program; absent from the library.
extern int read_Grid_from_aqt(D3D_GridCompl *grid, char *inPath, unsigned long nSpecs)
    __attribute__((weak));

#endif
