// orv-xconv: converts a DirectX .x text file into an engine model file.
//
//   orv-xconv input.x output.mdl
//
// Exit status 0 on success; 1 with the reason on stderr when the input
// cannot be read or converted or the output cannot be written (an existing
// output file is then left as it was); 2 for a wrong command line.
#include "engine/model/XConvert.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s input.x output.mdl\n", argc > 0 ? argv[0] : "orv-xconv");
        return 2;
    }
    CqelXFileConverter converter;
    if (!converter.Convert(argv[1], argv[2])) {
        std::fprintf(stderr, "orv-xconv: %s: %s\n", argv[1], converter.GetErrorText());
        return 1;
    }
    return 0;
}
