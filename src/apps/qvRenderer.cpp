// Renders a scene file into a movie: qvRenderer -t <startTime> -l <length>
// -s <speed> -o <output> -F <format> [-b] file.iv
#include "qvRendererMain.h"

int main(int argc, char **argv)
{
    return qvRendererProgram::run(argc, argv, true);
}
