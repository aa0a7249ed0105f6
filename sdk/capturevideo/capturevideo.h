/* libCaptureVideo.so: the camera preview library of the device check. It lists the cameras and
 * draws the live picture of one of them into a native window (an X11 window id) until told to
 * stop. All three functions are called on the caller's UI thread.
 *
 * Strings across the boundary: a camera list is the caller's own container, reached through a
 * CaptureVideoStringList, a pair of the caller's opaque list pointer and a function that appends
 * one name to it. The library calls `append` once per camera, in its device order, with a
 * zero-terminated UTF-8 name that is valid only during the call (the caller copies it). No memory
 * changes hands, so caller and library may use different allocators or runtimes. */
#ifndef FENWIX_CAPTUREVIDEO_H
#define FENWIX_CAPTUREVIDEO_H

#include <stdint.h>

#if defined(CAPTUREVIDEO_BUILDING)
#define CAPTUREVIDEO_API __attribute__((visibility("default")))
#else
#define CAPTUREVIDEO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CaptureVideoStringList {
    void* list;                                   /* the caller's container */
    void (*append)(void* list, const char* name); /* appends a copy of name */
} CaptureVideoStringList;

/* Appends the name of each camera; that order defines the camera index. Returns the count, or -1
 * when `names` is null. Cameras: the video capture devices of the system, then "Fenwix Virtual
 * Camera" when FENWIX_VIRTUAL_CAMERA=1 (the same names as the conference library's). */
CAPTUREVIDEO_API int CaptureVideoEnumDevices(CaptureVideoStringList* names);

/* Starts drawing camera `index` (of the last enumeration) into `window`, replacing any preview
 * that runs. 0 when drawing started; -1 (nothing drawn, the window left as it is) for an index
 * outside the list, no window, no display, or a camera that cannot be opened. */
CAPTUREVIDEO_API int CaptureVideoInit(int index, uintptr_t window);

/* Ends the preview and releases the camera; harmless when none runs. */
CAPTUREVIDEO_API void CaptureVideoUnInit(void);

#ifdef __cplusplus
}
#endif

#endif /* FENWIX_CAPTUREVIDEO_H */
