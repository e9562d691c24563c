/*
 * The eight entry points every receiver library offers, looked up by these
 * exact names at run time. The program never links against an implementation:
 * it loads libAtUsbHid.so (AtUsbHid.dll on Windows) by plain name, so the
 * loader's search path decides whether a real receiver, the simulated one or
 * a test script answers.
 *
 * Reports and answers are always 8 bytes, command byte first.
 */
#ifndef ATUSBHID_H
#define ATUSBHID_H

#ifdef _WIN32
#define ATUSBHID_API __declspec(dllexport)
#else
#define ATUSBHID_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Device-change event types, numerically those of WM_DEVICECHANGE. */
#define ATUSBHID_DEVICE_ARRIVAL 0x8000u
#define ATUSBHID_DEVICE_REMOVE_COMPLETE 0x8004u

/*
 * What the `window` argument of the notification calls points to on Linux.
 * deviceChange may be called from a thread of the library's own; eventData
 * points to an AtUsbHidDeviceEvent that is valid only during the call, so a
 * receiver of the call copies it before handing it to another thread.
 */
struct AtUsbHidNotifySink {
    void (*deviceChange)(void* context, unsigned int eventType, const void* eventData);
    void* context;
};

struct AtUsbHidDeviceEvent {
    unsigned int vendorId;
    unsigned int productId;
    char path[256]; /* NUL-terminated; may be empty */
};

/* Nonzero: the receiver was found and opened. Closes any device held before. */
ATUSBHID_API unsigned char findHidDevice(unsigned int vendorId, unsigned int productId);
ATUSBHID_API void closeDevice(void);
/* report: 8 bytes. Nonzero: the report was sent. */
ATUSBHID_API unsigned char writeData(unsigned char* report);
/* buffer: 8 bytes. Nonzero: one answer was read into it. Never waits. */
ATUSBHID_API unsigned char readData(unsigned char* buffer);
/* window: an AtUsbHidNotifySink. Nonzero: the sink will hear of arrivals and removals. */
ATUSBHID_API int hidRegisterDeviceNotification(void* window);
/* window: the same sink as registered. No call reaches the sink after this returns. */
ATUSBHID_API void hidUnregisterDeviceNotification(void* window);
/* eventData: an AtUsbHidDeviceEvent. Nonzero: it concerns the receiver last looked for. */
ATUSBHID_API int isMyDeviceNotification(void* eventData);
/* report: 8 bytes. Must exist for the binding to succeed; the program never calls it. */
ATUSBHID_API unsigned char setFeature(unsigned char* report);

/*
 * Optional: why the last findHidDevice returned 0, so that a receiver that is
 * present but may not be opened is not reported as missing. A library without
 * it still binds; the program then treats every failure as "not found".
 */
#define ATUSBHID_FIND_OK 0
#define ATUSBHID_FIND_NOT_FOUND 1
#define ATUSBHID_FIND_NO_PERMISSION 2
#define ATUSBHID_FIND_OTHER 3
ATUSBHID_API int lastFindError(void);

#ifdef __cplusplus
}
#endif

#endif
