/*
 * What each Morvex error code means, in words an operator understands.
 * Shared by the sample programs.
 */
#ifndef MORVEX_SAMPLE_ERROR_TEXT_H
#define MORVEX_SAMPLE_ERROR_TEXT_H

#include <stdio.h>

#include "MorvexSdk.h"

#if defined(__GNUC__)
#define SAMPLE_MAYBE_UNUSED __attribute__((unused))
#else
#define SAMPLE_MAYBE_UNUSED
#endif

SAMPLE_MAYBE_UNUSED static const char* sample_error_text(int code) {
  switch (code) {
    case MORVEX_ERR_SUCCESS:
      return "no error";
    case MORVEX_ERR_NOT_READY:
      return "not ready: no camera is open, another acquisition mode runs, or no image is held yet";
    case MORVEX_ERR_NO_DEVICE:
      return "no such camera: it is not attached or cannot be opened";
    case MORVEX_ERR_THREAD:
      return "a worker thread or its event could not be created";
    case MORVEX_ERR_WINDOW:
      return "the preview window could not be created, or no size preset matches";
    case MORVEX_ERR_BUFFER:
      return "a buffer is missing or too small for the image";
    case MORVEX_ERR_DEVICE_IO:
      return "the camera did not answer a register access or refused to stream";
    case MORVEX_ERR_CAPTURE_WINDOW:
      return "the capture window lies outside the sensor";
    case MORVEX_ERR_ACQUISITION:
      return "no frame arrived, or reading it failed";
    case MORVEX_ERR_ARGUMENT:
      return "an argument is out of range or missing";
    case MORVEX_ERR_UNSUPPORTED:
      return "this camera does not have the feature";
    case MORVEX_ERR_FILE:
      return "a file could not be opened or written, or a text did not convert";
    case MORVEX_ERR_STREAM_STOPPED:
      return "the camera stopped streaming (unplugged?)";
    case MORVEX_ERR_MASK_FILE:
      return "the mask file could not be read or written";
    default:
      return "unknown error code";
  }
}

/* Prints every code the camera recorded since the last call, newest first. */
SAMPLE_MAYBE_UNUSED static void sample_print_errors(int camera, const char* what) {
  int code, first = 1;
  while ((code = Morvex_GetLastError(camera)) != MORVEX_ERR_SUCCESS) {
    fprintf(stderr, "  %s: error %d, %s\n", first ? what : "  and before", code, sample_error_text(code));
    first = 0;
  }
  if (first) fprintf(stderr, "  %s failed (no error code recorded)\n", what);
}

#endif
