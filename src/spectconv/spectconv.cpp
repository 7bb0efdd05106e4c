// spectconv: turns a constant-Q analysis file into a grid file of
// numRows complete spectra spread evenly over the analysis.
#include <misc/d3d_gridcompl.h>

#include "read_grid_from_aqt.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

static const char *programName = "spectconv";

static void usage()
{
    std::cerr << "Usage: " << programName << " inFile.aqt outFile.grid [numRows]" << std::endl
              << "  infile.aqt           .aqt file to convert" << std::endl
              << "  outFille\t\t    gridcompl file to write" << std::endl
              << "  numRows              number of rows the  gridcompl will contain (20)" << std::endl
              << "                       (1 gives one unsmoothed row at time 0)" << std::endl;
}

int main(int argc, char **argv)
{
    programName = argv[0];
    if (argc < 3) {
        usage();
        return 1;
    }
    long numRows = 20;
    if (argc > 3) {
        numRows = strtol(argv[3], nullptr, 10);
        if (numRows < 0) {
            usage();
            return 1;
        }
    }

    std::cerr << "reading .aqt file ...." << std::endl;
    D3D_GridCompl *grid = new D3D_GridCompl(argv[1], (unsigned long)numRows);
    if (!grid) {
        printf("D3D_GridCompl returned NULL!!\n");
        return 1;
    }
    std::cerr << "reading .aqt file ready!" << std::endl;
    std::cerr << "writing .grid file ...." << std::endl;
    grid->setDistanceX(5.0f);
    grid->setDistanceY(1.0f);
    std::ofstream out(argv[2], std::ios::out | std::ios::binary | std::ios::trunc);
    grid->write(out);
    out.close();
    std::cerr << "writing .grid file ready! " << std::endl;
    std::cerr << "END." << std::endl;
    delete grid;
    return 0;
}
