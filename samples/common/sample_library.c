#define _POSIX_C_SOURCE 200809L
#include "sample_library.h"

#ifdef _WIN32

#include <windows.h>

sample_library_t sample_open_library(void) { return (sample_library_t)LoadLibraryA(SAMPLE_LIBRARY_NAME); }
void* sample_find_symbol(sample_library_t library, const char* name) {
  return (void*)GetProcAddress((HMODULE)library, name);
}
void sample_close_library(sample_library_t library) { FreeLibrary((HMODULE)library); }
const char* sample_library_error(void) { return ""; }

#else

#include <dlfcn.h>
#include <unistd.h>

sample_library_t sample_open_library(void) {
  static const char* const places[] = {"/", "/../lib/"};
  char path[4096];
  sample_library_t library;
  size_t i;
  ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  char* slash;
  if (length > 0) {
    path[length] = '\0';
    slash = strrchr(path, '/');
    for (i = 0; slash != NULL && i < sizeof(places) / sizeof(places[0]); ++i) {
      *slash = '\0';
      if (strlen(path) + strlen(places[i]) + strlen(SAMPLE_LIBRARY_NAME) < sizeof(path)) {
        strcat(strcat(path, places[i]), SAMPLE_LIBRARY_NAME);
        library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (library != NULL) return library;
      }
      path[length] = '\0';
    }
  }
  return dlopen(SAMPLE_LIBRARY_NAME, RTLD_NOW | RTLD_LOCAL);
}
void* sample_find_symbol(sample_library_t library, const char* name) { return dlsym(library, name); }
/* Left loaded until exit: the library keeps process-wide objects whose
   destructors must not run while the program may still use its store. */
void sample_close_library(sample_library_t library) { (void)library; }
const char* sample_library_error(void) {
  const char* error = dlerror();
  return error != NULL ? error : "";
}

#endif
