// A second process for the platform tests, as a second instance of the program would be.
//   platform_holder try PATH    exits 0 when the file is held elsewhere (Busy), 1 otherwise
//   platform_holder leave PATH  takes the file, writes "left" and a line end, and ends without
//                               closing it: exits 0 when it could
#include "platform/textfile.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    using platform::ExclusiveFile;
    if (argc != 3) return 2;
    const std::string what = argv[1];
    ExclusiveFile file;
    if (what == "try")
        return file.open(argv[2], ExclusiveFile::Mode::Replace) == ExclusiveFile::OpenResult::Busy ? 0 : 1;
    if (what == "leave") {
        const bool ok = file.open(argv[2], ExclusiveFile::Mode::Replace) == ExclusiveFile::OpenResult::Ok &&
                        file.write("left\r\n");
        std::_Exit(ok ? 0 : 1); // no destructor: the system must let go of the file
    }
    return 2;
}
