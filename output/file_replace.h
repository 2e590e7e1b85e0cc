// A complete new file in the place of an existing one, in one step: under Wine a rename, on
// Windows its own replace, which keeps the old file's attributes and security where it can, and
// the rename where a volume takes no replace. After a failure the name holds complete bytes, old
// or new, wherever Windows left the two files; only where neither can go back under it are both
// kept under temp names.
#pragma once

#include <windows.h>

#include "target_file.h"

// temp and target are the wide names; tempPath is temp in UTF-8. asidePath, TempPathSize bytes,
// receives the temp name that Windows' replace moves the old file to. A failure tells why.
PlaceAnswer ReplaceExistingFile(const char* tempPath, const wchar_t* temp, const wchar_t* target,
                                char* asidePath, WriteFailure* why);
