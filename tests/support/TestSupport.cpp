#include "TestSupport.h"

#include <qvSuiteAll.h>

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoWriteAction.h>
#include <Inventor/nodes/SoSeparator.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

// Every test program and every program it starts runs with the build's
// library on the search path, no sound card, and leak reports off (the
// scene library keeps its type tables until exit).
extern "C" const char *__asan_default_options() { return "detect_leaks=0"; }
extern "C" const char *__ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

namespace {
struct TestEnvironment {
    TestEnvironment()
    {
        std::string lib = std::string(QV_BINARY_DIR) + "/lib";
        const char *old = std::getenv("LD_LIBRARY_PATH");
        if (old != nullptr && *old != '\0')
            lib += std::string(":") + old;
        setenv("LD_LIBRARY_PATH", lib.c_str(), 1);
        setenv("QV_AUDIO_DEVICE", "paced:/dev/null", 0);
        setenv("ASAN_OPTIONS", "detect_leaks=0", 0);
    }
} testEnvironment;
} // namespace

void qvTestInit()
{
    SoDB::init();
    qvSuite::initClasses();
}

SoSeparator *readSceneString(const std::string &text)
{
    SoInput in;
    in.setBuffer((void *)text.c_str(), text.size());
    return SoDB::readAll(&in);
}

SoSeparator *readSceneFile(const std::string &path)
{
    SoInput in;
    if (!in.openFile(path.c_str()))
        return nullptr;
    return SoDB::readAll(&in);
}

std::string writeSceneString(SoNode *root)
{
    SoOutput out;
    out.setBuffer(std::malloc(1024), 1024, std::realloc);
    SoWriteAction write(&out);
    write.apply(root);
    void *buffer = nullptr;
    size_t size = 0;
    out.getBuffer(buffer, size);
    std::string text((const char *)buffer, size);
    std::free(buffer);
    return text;
}

static std::string slurp(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

ProgramResult runProgram(const std::string &commandLine)
{
    std::string dir = makeTempDir();
    std::string outPath = dir + "/out", errPath = dir + "/err";
    std::string full = "(" + commandLine + ") >" + outPath + " 2>" + errPath +
                       " </dev/null";
    int raw = std::system(full.c_str());
    ProgramResult result;
    if (WIFEXITED(raw))
        result.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw))
        result.status = 128 + WTERMSIG(raw);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    std::string cleanup = "rm -rf '" + dir + "'";
    if (std::system(cleanup.c_str()) != 0) {
    }
    return result;
}

std::string binaryPath(const std::string &name)
{
    return std::string(QV_BINARY_DIR) + "/bin/" + name;
}

std::string sourcePath(const std::string &relative)
{
    return std::string(QV_SOURCE_DIR) + "/" + relative;
}

std::string makeTempDir()
{
    char templ[] = "/tmp/qvtest.XXXXXX";
    const char *dir = mkdtemp(templ);
    return dir != nullptr ? std::string(dir) : std::string("/tmp");
}

int countOccurrences(const std::string &haystack, const std::string &needle)
{
    if (needle.empty())
        return 0;
    int n = 0;
    for (size_t pos = haystack.find(needle); pos != std::string::npos;
         pos = haystack.find(needle, pos + needle.size()))
        ++n;
    return n;
}
