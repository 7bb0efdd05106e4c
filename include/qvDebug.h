// Diagnostics of the toolkit and its programs.
//
// A warning is one line on the error stream: "<file>::<line>: WARNING! "
// and the message; processing goes on. A checked call that fails prints a
// line telling the failure, then "Call: (<line>) <call text>", and ends the
// process with status 1. The QV_REPORT_* forms print the same two lines
// and return, for callers that must survive bad scene content.
#ifndef QV_DEBUG_H
#define QV_DEBUG_H

#include <cstdlib>
#include <iostream>

namespace qvDebug {

constexpr const char *baseName(const char *path)
{
    const char *base = path;
    for (const char *p = path; *p != '\0'; ++p)
        if (*p == '/')
            base = p + 1;
    return base;
}

// First lines of the five call-failure forms; each is followed by the
// "Call:" line.
void reportSystemFailure(const char *file, int line, const char *call);
void reportMediaFailure(const char *file, int line, const char *call);
void reportAudioFailure(const char *file, int line, const char *call);
void reportMovieFailure(const char *file, int line, const char *call,
                        const char *movieErrorText);
void reportGLFailure(const char *file, int line, const char *call,
                     int glError);

[[noreturn]] void exitFailure();

} // namespace qvDebug

#define QV_SOURCE_FILE qvDebug::baseName(__FILE__)

#define QV_WARNING(pieces)                                                  \
    do {                                                                    \
        std::cerr << QV_SOURCE_FILE << "::" << __LINE__ << ": WARNING! "    \
                  << pieces << std::endl;                                   \
    } while (0)

// Condition or system call; fails when false (system error text).
#define QV_CHECK(expr)                                                      \
    do {                                                                    \
        if (!(expr)) {                                                      \
            qvDebug::reportSystemFailure(QV_SOURCE_FILE, __LINE__, #expr);  \
            qvDebug::exitFailure();                                         \
        }                                                                   \
    } while (0)

// The same report without ending the process.
#define QV_REPORT_CHECK(text)                                               \
    qvDebug::reportSystemFailure(QV_SOURCE_FILE, __LINE__, text)

// Digital-media or sound-file call; fails when non-zero.
#define QV_DM_CHECK(expr)                                                   \
    do {                                                                    \
        if ((expr) != 0) {                                                  \
            qvDebug::reportMediaFailure(QV_SOURCE_FILE, __LINE__, #expr);   \
            qvDebug::exitFailure();                                         \
        }                                                                   \
    } while (0)

// Audio-device call; fails when negative.
#define QV_AL_CHECK(expr)                                                   \
    do {                                                                    \
        if ((expr) < 0) {                                                   \
            qvDebug::reportAudioFailure(QV_SOURCE_FILE, __LINE__, #expr);   \
            qvDebug::exitFailure();                                         \
        }                                                                   \
    } while (0)

// Movie call; fails when not DM_SUCCESS. The user includes the movie layer.
#define QV_MV_CHECK(expr)                                                   \
    do {                                                                    \
        if ((expr) != DM_SUCCESS) {                                         \
            qvDebug::reportMovieFailure(QV_SOURCE_FILE, __LINE__, #expr,    \
                                        mvGetErrorStr(mvGetErrno()));       \
            qvDebug::exitFailure();                                         \
        }                                                                   \
    } while (0)

// OpenGL call, checked with glGetError right after it.
#define QV_GL_CHECK(expr)                                                   \
    do {                                                                    \
        expr;                                                               \
        int qvGlError_ = (int)glGetError();                                 \
        if (qvGlError_ != 0) {                                              \
            qvDebug::reportGLFailure(QV_SOURCE_FILE, __LINE__, #expr,       \
                                     qvGlError_);                           \
            qvDebug::exitFailure();                                         \
        }                                                                   \
    } while (0)

// OpenGL call whose pending errors are all reported; the process goes on.
#define QV_GL_REPORT(expr)                                                  \
    do {                                                                    \
        expr;                                                               \
        for (int qvGlError_ = (int)glGetError(); qvGlError_ != 0;           \
             qvGlError_ = (int)glGetError())                                \
            qvDebug::reportGLFailure(QV_SOURCE_FILE, __LINE__, #expr,       \
                                     qvGlError_);                           \
    } while (0)

// A broken invariant of scene content: prints the condition as a warning
// and yields false, so that the caller can skip the work and go on.
#define QV_REPORT_ASSERT(cond)                                              \
    ((cond) ? true                                                          \
            : [&]() {                                                       \
                  QV_WARNING("Assertion failed: " << #cond);                \
                  return false;                                             \
              }())

#endif
