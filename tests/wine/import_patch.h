// Replaces one imported function of a loaded module: the entry for
// `function` from `library` in the module's import address table is pointed
// at `replacement`. The module's own calls to that function then reach the
// replacement; the rest of the process is untouched. Returns false when the
// module does not import the function by name.
#pragma once

#include <windows.h>

namespace tarnwick::tests::wine {

bool replaceImport(HMODULE module, const char* library, const char* function, void* replacement);

}  // namespace tarnwick::tests::wine
