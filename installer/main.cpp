// Silinst: runs the database engine installer's registration silently.
// Usage: Silinst <path of the installer's library>

#include "silinst.h"
#include "win32platform.h"

#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(silinst::toUtf8(argv[i]));

    // Never destroyed: the clicker thread may still be using it while the process ends.
    static silinst::Platform& platform = *new silinst::Win32Platform;
    return silinst::run(platform, arguments);
}
