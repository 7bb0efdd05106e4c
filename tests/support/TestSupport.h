// Shared helpers of the test programs.
#ifndef QV_TEST_SUPPORT_H
#define QV_TEST_SUPPORT_H

#include <string>

class SoNode;
class SoSeparator;

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

// Path of a built program or of a file in the source tree.
std::string binaryPath(const std::string &name);
std::string sourcePath(const std::string &relative);
// A fresh temporary directory for one test.
std::string makeTempDir();

// Counts occurrences of needle in haystack.
int countOccurrences(const std::string &haystack, const std::string &needle);

#endif
