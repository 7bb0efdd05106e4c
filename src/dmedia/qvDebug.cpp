#include <qvDebug.h>

#include <dmedia/dmedia.h>

#include <GL/glu.h>
#include <cstdio>

namespace qvDebug {

static void callLine(int line, const char *call)
{
    std::fprintf(stderr, "Call: (%d) %s\n", line, call);
    std::fflush(stderr);
}

void reportSystemFailure(const char *file, int line, const char *call)
{
    std::fflush(stdout);
    std::perror(file);
    callLine(line, call);
}

void reportMediaFailure(const char *file, int line, const char *call)
{
    int number = 0;
    char detail[DM_MAX_ERROR_DETAIL];
    dmGetError(&number, detail);
    std::fprintf(stderr, "%s: dmedia Error Nr %d message:%s\n", file, number,
                 detail);
    callLine(line, call);
}

void reportAudioFailure(const char *file, int line, const char *call)
{
    std::fprintf(stderr, "%s: audio library error\n", file);
    callLine(line, call);
}

void reportMovieFailure(const char *file, int line, const char *call,
                        const char *movieErrorText)
{
    std::fprintf(stderr, "%s: %s\n", file,
                 movieErrorText != nullptr ? movieErrorText : "");
    callLine(line, call);
}

void reportGLFailure(const char *file, int line, const char *call, int glError)
{
    const GLubyte *text = gluErrorString((GLenum)glError);
    std::fprintf(stderr, "%s: OpenGL Error: #%d:%s\n", file, glError,
                 text != nullptr ? (const char *)text : "unknown error");
    callLine(line, call);
}

void exitFailure()
{
    std::exit(1);
}

} // namespace qvDebug
