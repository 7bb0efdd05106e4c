// Shared helpers of the test programs.
#ifndef QV_TEST_SUPPORT_H
#define QV_TEST_SUPPORT_H

#include <string>
#include <vector>

#include <Inventor/nodes/SoNode.h>

class SoSeparator;

// Nodes a test makes, referenced until the keeper goes.
class NodeKeeper {
  public:
    NodeKeeper() = default;
    NodeKeeper(const NodeKeeper &) = delete;
    NodeKeeper &operator=(const NodeKeeper &) = delete;
    ~NodeKeeper()
    {
        for (SoNode *n : nodes)
            n->unref();
    }
    template <class T> T *make()
    {
        T *n = new T;
        n->ref();
        nodes.push_back(n);
        return n;
    }

  private:
    std::vector<SoNode *> nodes;
};

// Initialises the scene database and registers the toolkit's types.
void qvTestInit();

// Reads a scene from text; none when it does not read.
SoSeparator *readSceneString(const std::string &text);
SoSeparator *readSceneFile(const std::string &path);
// Writes a scene as ascii text.
std::string writeSceneString(SoNode *root);

struct ProgramResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};
// Runs a shell command line, collecting its streams and exit status.
ProgramResult runProgram(const std::string &commandLine);

// Starts a program in the background (argv[0] is its path), in the given
// working directory when one is named. It is killed if the test process
// dies first, so no window or open stream outlives a crashed test.
// Returns its pid, or -1.
int spawnProgram(const std::vector<std::string> &argv, const std::string &workingDir = "");

// Path of a built program or of a file in the source tree.
std::string binaryPath(const std::string &name);
std::string sourcePath(const std::string &relative);
// A fresh temporary directory for one test.
std::string makeTempDir();

// Counts occurrences of needle in haystack.
int countOccurrences(const std::string &haystack, const std::string &needle);

#endif
