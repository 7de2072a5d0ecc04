/*
 * Loading the Morvex SDK library at run time, the way an application that
 * does not link the import library does it. Shared by the sample programs.
 */
#ifndef MORVEX_SAMPLE_LIBRARY_H
#define MORVEX_SAMPLE_LIBRARY_H

#include <string.h>

/* An HMODULE on Windows, a dlopen handle elsewhere. */
typedef void* sample_library_t;
#ifdef _WIN32
#define SAMPLE_LIBRARY_NAME "MorvexSdk.dll"
#else
#define SAMPLE_LIBRARY_NAME "libMorvexSdk.so"
#endif

/* Beside the program, then (natively) in ../lib, then the system's search
   path. NULL when the library cannot be loaded; see sample_library_error. */
sample_library_t sample_open_library(void);
void* sample_find_symbol(sample_library_t library, const char* name);
void sample_close_library(sample_library_t library);
/* Why the last load failed, or "" when the system does not tell. */
const char* sample_library_error(void);

/* Function pointers travel through void* as POSIX dlsym requires. */
#define SAMPLE_FIND(library, variable, name) \
  memcpy(&(variable), &(void*){sample_find_symbol((library), (name))}, sizeof(variable))

#endif
