// MAT-file reading of a 200 MB double matrix: our reader, a plain
// sequential read of the same file, and scipy.io.loadmat, in one run.
// The file is made in /tmp and removed at the end.
#include <mat/mat.h>

#include "TestSupport.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void word(FILE *f, uint32_t v) { fwrite(&v, 4, 1, f); }

} // namespace

int main()
{
    const int rows = 5000, cols = 5000;  // 25 M doubles, 200 MB
    const std::string path = "/tmp/qv_bench_matfile.mat";
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return 1;
    word(f, 0);  // little-endian IEEE, double, full
    word(f, rows);
    word(f, cols);
    word(f, 0);
    word(f, 5);
    fwrite("data", 1, 5, f);
    std::vector<double> column(rows);
    for (int j = 0; j < cols; ++j) {
        for (int i = 0; i < rows; ++i)
            column[i] = i * 0.5 + j;
        fwrite(column.data(), 8, rows, f);
    }
    fclose(f);

    const int runs = 3;
    double ours = 1e9, plain = 1e9;
    double check = 0;
    for (int r = 0; r < runs; ++r) {
        // A plain sequential read into fresh memory of the same size.
        double t0 = now();
        const int fd = open(path.c_str(), O_RDONLY);
        const size_t size = (size_t)rows * cols * 8 + 25;
        char *buffer = (char *)malloc(size);
        size_t got = 0;
        for (ssize_t n; got < size && (n = read(fd, buffer + got, size - got)) > 0;)
            got += (size_t)n;
        close(fd);
        check += buffer[size - 1];
        free(buffer);
        plain = std::min(plain, now() - t0);

        t0 = now();
        MATFile *mf = matOpen(path.c_str(), "r");
        Matrix *mx = matGetNextMatrix(mf);
        if (!mx || mxGetM(mx) != rows || mxGetN(mx) != cols || mxGetPr(mx)[rows + 1] != 0.5 + 1) {
            fprintf(stderr, "bench_matfile: matrix read wrongly\n");
            return 1;
        }
        mxFreeMatrix(mx);
        matClose(mf);
        ours = std::min(ours, now() - t0);
    }

    const std::string script =
        "import time, scipy.io as sio\n"
        "best = 1e9\n"
        "for r in range(3):\n"
        "    t0 = time.perf_counter()\n"
        "    m = sio.loadmat('" + path + "')['data']\n"
        "    best = min(best, time.perf_counter() - t0)\n"
        "    assert m.shape == (5000, 5000) and m[1, 1] == 1.5\n"
        "    del m\n"
        "print(best)\n";
    const std::string scriptPath = "/tmp/qv_bench_matfile.py";
    FILE *py = fopen(scriptPath.c_str(), "w");
    fputs(script.c_str(), py);
    fclose(py);
    ProgramResult peer = runProgram("/usr/bin/python3 " + scriptPath);
    std::remove(scriptPath.c_str());
    std::remove(path.c_str());

    printf("file: %d x %d doubles, %.1f MB (checksum %g)\n", rows, cols, rows * (double)cols * 8 / 1e6, check);
    printf("plain sequential read : %.3f s\n", plain);
    printf("matGetNextMatrix      : %.3f s  (%.2f x the plain read)\n", ours, ours / plain);
    if (peer.status == 0) {
        const double scipy = atof(peer.out.c_str());
        printf("scipy.io.loadmat      : %.3f s  (ours is %.2f x faster)\n", scipy, scipy / ours);
    } else {
        printf("scipy.io.loadmat      : not available (%s)\n", peer.err.c_str());
    }
    return 0;
}
