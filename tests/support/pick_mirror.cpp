// Exits with the module's pick among COUNT mirrors, as one run of one process:
//   pick_mirror COUNT
#include <cstdlib>

#include "package/mirror_pick.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    return static_cast<int>(PickMirror(static_cast<size_t>(std::atoi(argv[1]))));
}
