#include "temp_names.h"

#include <cstring>

size_t FolderLength(const char* path) {
    size_t length = std::strlen(path);
#ifdef _WIN32
    while (length > 0 && !std::strchr("\\/:", path[length - 1])) --length;
#else
    while (length > 0 && path[length - 1] != '/') --length;
#endif
    return length;
}

// By hand: a printf would pull the C library's whole formatter into the exe.
void PutTempName(char* name, unsigned n) {
    std::memcpy(name, TempPrefix, sizeof TempPrefix - 1);
    char* digits = name + sizeof TempPrefix - 1;
    unsigned width = 1;
    for (unsigned rest = n; rest >= 10; rest /= 10) ++width;
    for (unsigned k = width; k > 0; --k, n /= 10) digits[k - 1] = static_cast<char>('0' + n % 10);
    std::memcpy(digits + width, TempSuffix, sizeof TempSuffix);
}
