/*
 * A PNG writer small enough for a sample: 8-bit RGB, the image data kept in
 * stored (uncompressed) deflate blocks, so it needs no compression library.
 */
#ifndef MORVEX_SAMPLE_PNG_WRITER_H
#define MORVEX_SAMPLE_PNG_WRITER_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned long png_crc(unsigned long crc, const unsigned char* data, size_t size) {
  size_t i;
  int k;
  crc = ~crc & 0xFFFFFFFFUL;
  for (i = 0; i < size; ++i) {
    crc ^= data[i];
    for (k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320UL & (0UL - (crc & 1)));
  }
  return ~crc & 0xFFFFFFFFUL;
}

static void png_put32(unsigned char* p, unsigned long v) {
  p[0] = (unsigned char)(v >> 24), p[1] = (unsigned char)(v >> 16), p[2] = (unsigned char)(v >> 8);
  p[3] = (unsigned char)v;
}

static int png_chunk(FILE* file, const char* type, const unsigned char* data, size_t size) {
  unsigned char head[8], tail[4];
  unsigned long crc;
  png_put32(head, (unsigned long)size);
  memcpy(head + 4, type, 4);
  crc = png_crc(0, head + 4, 4);
  crc = png_crc(crc, data, size);
  png_put32(tail, crc);
  return fwrite(head, 1, 8, file) == 8 && fwrite(data, 1, size, file) == size &&
         fwrite(tail, 1, 4, file) == 4;
}

/* Writes width x height pixels of blue, green, red bytes, first row first,
   `stride` bytes apart. Returns 1 on success. */
static int png_write_bgr(const char* path, const unsigned char* pixels, int width, int height, int stride) {
  static const unsigned char signature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
  size_t row = (size_t)width * 3 + 1, raw_size = row * (size_t)height;
  size_t blocks = raw_size / 65535 + 1, i, done;
  unsigned char ihdr[13], *raw, *zdata, *z;
  unsigned long a = 1, b = 0;
  int x, y, ok;
  FILE* file;

  raw = (unsigned char*)malloc(raw_size);
  zdata = (unsigned char*)malloc(2 + raw_size + blocks * 5 + 4);
  if (raw == NULL || zdata == NULL) {
    free(raw), free(zdata);
    return 0;
  }
  for (y = 0; y < height; ++y) {
    unsigned char* out = raw + row * (size_t)y;
    const unsigned char* in = pixels + (size_t)stride * (size_t)y;
    *out++ = 0; /* filter: none */
    for (x = 0; x < width; ++x, in += 3, out += 3) out[0] = in[2], out[1] = in[1], out[2] = in[0];
  }
  z = zdata;
  *z++ = 0x78, *z++ = 0x01;
  for (done = 0, i = 0; i < blocks; ++i) {
    size_t n = raw_size - done < 65535 ? raw_size - done : 65535;
    *z++ = (unsigned char)(i + 1 == blocks);
    *z++ = (unsigned char)n, *z++ = (unsigned char)(n >> 8);
    *z++ = (unsigned char)~n, *z++ = (unsigned char)(~n >> 8);
    memcpy(z, raw + done, n);
    z += n, done += n;
  }
  for (i = 0; i < raw_size; ++i) {
    a = (a + raw[i]) % 65521;
    b = (b + a) % 65521;
  }
  png_put32(z, (b << 16) | a);
  z += 4;

  png_put32(ihdr, (unsigned long)width);
  png_put32(ihdr + 4, (unsigned long)height);
  ihdr[8] = 8, ihdr[9] = 2, ihdr[10] = ihdr[11] = ihdr[12] = 0; /* 8-bit RGB */
  file = fopen(path, "wb");
  ok = file != NULL && fwrite(signature, 1, 8, file) == 8 && png_chunk(file, "IHDR", ihdr, 13) &&
       png_chunk(file, "IDAT", zdata, (size_t)(z - zdata)) && png_chunk(file, "IEND", NULL, 0);
  if (file != NULL && fclose(file) != 0) ok = 0;
  free(raw), free(zdata);
  return ok;
}

#endif
