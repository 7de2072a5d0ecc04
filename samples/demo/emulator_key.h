/* The emulator's "Cameras" value of the current user, read and written the
   way the library reads it (the registry on Windows, natively the
   library's file-backed store). */
#ifndef MORVEX_DEMO_EMULATOR_KEY_H
#define MORVEX_DEMO_EMULATOR_KEY_H

#ifdef __cplusplus
extern "C" {
#endif

/* 1 and the value when "Cameras" is set, 0 when it is not. */
int demo_read_cameras(unsigned* value);
int demo_write_cameras(unsigned value);
/* Removes "Cameras" again. */
int demo_remove_cameras(void);

#ifdef __cplusplus
}
#endif

#endif
