// Reads the simple, uncompressed kinds of Windows device-independent bitmap (8, 24 and
// 32 bits per pixel, rows stored bottom-up) into a raw pixel array, top row first.
// Every other kind is reported as unusable; nothing is converted or expanded.
#pragma once

// Status values of getRAWfromDIB.
enum DIBStatus { kDIBLoaded = 0, kDIBUnusable = 1, kDIBNotOpened = 2 };

// On success *data holds width x height pixels of bytesPerPixel (1, 3 or 4) bytes each
// as the file stores them (blue, green, red[, fourth]; or a palette index), rows
// unpadded. For 1-byte pixels, when palette is not null, *palette receives 256 entries
// of 4 bytes (blue, green, red, reserved). The caller frees both with delete[].
// After status 1 *data is null and width, height and bytesPerPixel hold the header's
// values; after status 2 only *data has been written (null). Errors go to standard error.
int getRAWfromDIB(const char* fileName, unsigned char** data, int* width, int* height, int* bytesPerPixel,
                  unsigned char** palette);
