// Stands in for the browser or mail program in the About page's tests: the
// shell starts it for a link target, and it writes that target (its second
// argument) into the file named by its first.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    const std::string part = std::string(argv[1]) + ".part";
    FILE* out = std::fopen(part.c_str(), "wb");
    if (!out)
        return 1;
    std::fputs(argv[2], out);
    std::fclose(out);
    // Whole or not at all for the test that waits for it.
    return MoveFileExA(part.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
