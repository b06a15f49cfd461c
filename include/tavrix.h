/*
 * tavrix.h - host-side communication library for Tavrix motion controllers.
 *
 * One flat C interface: every function returns a signed 32-bit result code
 * (TVX_OK, 0, on success) unless its comment says otherwise. No C++
 * exception ever crosses this interface.
 *
 * General rules for every function that takes a handle:
 *  - The handle is checked first; an invalid or closed handle gives
 *    TVX_ERR_INVALID_HANDLE (20009). Accessors that return a value give a
 *    sentinel instead (255, NULL, 0.0 or 0, as documented).
 *  - Out-parameters are written only when the call succeeds. Optional
 *    out-parameters may be NULL and are then skipped; a required pointer that
 *    is NULL gives TVX_ERR_BAD_ARGUMENT (20002).
 *  - A refused call names its reason in a debug line ("TVX_GetState:
 *    refused with 20002: stateOut is NULL"): see it on the debugger output
 *    (on Linux standard error with TAVRIX_DEBUG set) or through a trace
 *    callback installed with a debug level (TVX_SetTraceCallback).
 *  - Threading: any number of threads may use one handle at the same time;
 *    the library serialises their transactions per handle. Callbacks run on
 *    the library's own receive threads: a callback must not call the library
 *    on the same handle (it would wait for its own receive thread). On an
 *    Ethernet handle a run of transactions reads its replies on the calling
 *    thread itself (no thread switch a transaction) while no auto-upload
 *    callback is set; packets the controller pushes meanwhile are still
 *    delivered on the receive thread.
 *  - Values on the wire are little-endian; floats are IEEE-754 singles.
 *
 * Calling convention: on 32-bit and 64-bit Windows every TVX_ function that
 * takes arguments is __stdcall, except TVX_GetErrcodeDescription; the string
 * exports strupr/strlwr and all callbacks are __cdecl. On other platforms
 * the platform's C convention is used throughout.
 */
#ifndef TAVRIX_H
#define TAVRIX_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(TVX_BUILDING_LIBRARY)
#    define TVX_API __declspec(dllexport)
#  else
#    define TVX_API __declspec(dllimport)
#  endif
#  define TVX_STDCALL __stdcall
#  define TVX_CDECL __cdecl
#else
#  if defined(TVX_BUILDING_LIBRARY)
#    define TVX_API __attribute__((visibility("default")))
#  else
#    define TVX_API
#  endif
#  define TVX_STDCALL
#  define TVX_CDECL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------
 * Handles and link kinds
 * ------------------------------------------------------------------------- */

/* Opaque handle of an open controller link. */
typedef struct TVX_Controller* TVX_HANDLE;

/* Link kinds accepted by TVX_Open / TVX_FastOpen. */
#define TVX_LINK_SERIAL 1   /* "COM<n>", blanks allowed before n; see Serial links */
#define TVX_LINK_ETHERNET 2 /* "a.b.c.d" or "a.b.c.d:port" */
#define TVX_LINK_PCI 4      /* "PCI<n>" or "PCIE<n>", n from 1 */

/* ---------------------------------------------------------------------------
 * Result codes
 * ------------------------------------------------------------------------- */

/* Result-code constants, written by scripts/gen_result_codes.py from
 * src/base/result_codes.def; change codes and texts there. */
#define TVX_OK 0

/* Internal checks of the library. */
#define TVX_ERR_CYCLE_SPEC_FIRST 3201   /* 3201..3203: cycle-upload item text */
#define TVX_ERR_CYCLE_SPEC_LAST 3203
#define TVX_ERR_CONTROLLER_STATE 3204   /* also a controller status */
#define TVX_ERR_NOT_SUPPORTED 3205      /* controller or file not supported */
#define TVX_ERR_DISCOVERY_ARGUMENT 3206 /* missing buffer or address for discovery */
#define TVX_ERR_CIPHER_KEY 3212         /* archive cipher key text error */

/* Pixel data of the remote LCD and camera images. */
#define TVX_ERR_CHUNK_KIND 5028  /* a chunk that is not encoded pixels */
#define TVX_ERR_PIXEL_DEPTH 5029 /* not 16 bits per pixel */

/* Command channel results. */
#define TVX_CH_CANNOT_FRAME 3401     /* request cannot be framed */
#define TVX_CH_NO_REPLY 3402         /* no reply within the attempts and the budget */
#define TVX_CH_MISMATCH 3403         /* reply does not match, or frame announced too long */
#define TVX_CH_BAD_FRAME 3404        /* wrong station byte or CRC mismatch */
#define TVX_CH_FRAME_TOO_LONG 3405   /* frame longer than its announced length */
#define TVX_CH_WRONG_FUNCTION 3407   /* reply carries another function code */
#define TVX_CH_EXCEPTION_BASE 3420   /* 3420 + n: Modbus exception n */
#define TVX_CH_ILLEGAL_FUNCTION 3421
#define TVX_CH_ILLEGAL_ADDRESS 3422
#define TVX_CH_ILLEGAL_VALUE 3423
#define TVX_CH_DEVICE_FAILURE 3424

/* Library results. */
#define TVX_ERR_NOT_OPEN 20001          /* link not open, or its serial port went away */
#define TVX_ERR_BAD_ARGUMENT 20002      /* invalid argument */
#define TVX_ERR_TIME_LIMIT 20003        /* time limit of a text command passed */
#define TVX_ERR_NO_HANDLE 20005         /* too many connections or slots in use */
#define TVX_ERR_OS 20006                /* operating-system or memory failure */
#define TVX_ERR_SERIAL 20007            /* serial port could not be opened or configured */
#define TVX_ERR_ETHERNET 20008          /* socket could not be bound, or no answer */
#define TVX_ERR_INVALID_HANDLE 20009    /* invalid or closed handle */
#define TVX_ERR_LINK_WRITE 20010        /* the link's send failed */
#define TVX_ERR_FILE 20011              /* file error */
#define TVX_ERR_FILE_LENGTH 20012       /* file length error */
#define TVX_ERR_NAME_TOO_LONG 20013     /* file name or path too long */
#define TVX_ERR_FILE_NOT_FOUND 20014    /* file does not exist */
#define TVX_ERR_LIBRARY_FILE 20015      /* library file error */
#define TVX_ERR_FILE_16 20016           /* file error */
#define TVX_ERR_FIRMWARE_IMAGE 20018    /* invalid firmware image */
#define TVX_ERR_FIRMWARE_MISMATCH 20020 /* firmware and controller mismatch */
#define TVX_ERR_UNSUPPORTED 20021       /* not supported by this build or link */
#define TVX_ERR_PCI_FIRST 20024         /* 20024..20029: PCI link failures */
#define TVX_ERR_PCI_LAST 20029
#define TVX_ERR_PCI_OPEN 20024          /* the card's device cannot be opened */
#define TVX_ERR_PCI_DEVICE_SET 20025    /* the cards of the class cannot be listed */
#define TVX_ERR_PCI_NO_INTERFACE 20026  /* no device interface with that index */
#define TVX_ERR_PCI_DRIVER 20027        /* a driver request failed, or a packet size out of range */
#define TVX_ERR_PCI_NO_CARD 20028       /* card number beyond the cards present */
#define TVX_ERR_PCI_CHANNEL 20029       /* the driver reported no channel */
#define TVX_ERR_BUFFER_TOO_SMALL 20030  /* the caller's buffer is too small for the data */
#define TVX_ERR_LOCKED 20031            /* controller is locked */
#define TVX_ERR_OVER_LIMIT 20035        /* amount exceeds the per-request limit */
#define TVX_ERR_CYCLE_FIRST 20037       /* 20037..20039: cycle-upload errors */
#define TVX_ERR_CYCLE_LAST 20039
#define TVX_ERR_REPLY_LENGTH 20100      /* reply data length does not fit or match */
/* End of the result-code constants. */

/**
 * @defgroup link_results Results of every request
 *
 * Every function that sends a request to the controller may give these
 * results beside the ones listed with it. They are not repeated for each
 * function.
 *
 *  - TVX_ERR_INVALID_HANDLE (20009): the handle was closed by another thread
 *    while this call waited for its turn on the link.
 *  - TVX_CH_CANNOT_FRAME (3401): the request does not fit the link's frame.
 *  - TVX_CH_NO_REPLY (3402): no reply within the attempts and the handle's
 *    time budget (TVX_SetTimeOut). Replies that belong to another request,
 *    damaged frames and frames announced too long are dropped on receipt,
 *    so they end here too.
 *  - TVX_CH_WRONG_FUNCTION (3407): the reply carries another function code.
 *  - TVX_CH_EXCEPTION_BASE + n (3420 + n): the controller answered with
 *    Modbus exception n: 3421 illegal function, 3422 illegal data address,
 *    3423 illegal data value, 3424 device failure.
 *  - TVX_ERR_NOT_OPEN (20001): the link is gone: its serial port went away
 *    (an adapter unplugged) or the PCI card's device is no longer open.
 *  - TVX_ERR_LINK_WRITE (20010): the link's send failed: the socket refused
 *    the datagram (or the Ethernet address is not a dotted IPv4 address), a
 *    serial write was cut short, or the PCI driver did not take the packet
 *    within the budget.
 *  - TVX_ERR_PCI_DRIVER (20027): a PCI driver read failed while the reply
 *    was awaited.
 *  - Any other non-zero code: the status the controller reported for the
 *    request (for example TVX_ERR_CONTROLLER_STATE, 3204). The TVX_Modbus_
 *    functions use the standard Modbus functions, whose replies carry no
 *    status: they give only the codes above. TVX_DescribeResult gives a
 *    text for every code.
 *
 * Out-parameters are not written when one of these results is returned.
 * A buffer that collects answer text over several polls (TVX_Execute,
 * TVX_ExecuteGetReceive) may hold the pieces received before the failure.
 */

/**
 * @defgroup open_results Results of an open
 *
 * TVX_Open, TVX_OpenWithTimeOut, TVX_FastOpen and the functions built on
 * them (TVX_OpenCom, TVX_PeakCom, TVX_OpenEth, TVX_OpenPci, ...) give:
 *
 *  - TVX_OK (0): the link is open and the controller answered; the handle
 *    has been stored through `out`.
 *  - TVX_ERR_BAD_ARGUMENT (20002): `address` or `out` is NULL, `kind` is not
 *    one of the TVX_LINK_ constants, or the address text does not suit the
 *    link kind (serial: not "COM\<n\>"; Ethernet: longer than its limit or
 *    a port text that is too long; PCI: not "PCI\<n\>" or "PCIE\<n\>", or
 *    longer than 255 characters).
 *  - TVX_ERR_NO_HANDLE (20005): every handle slot of the library is in use.
 *  - TVX_ERR_OS (20006): the operating system refused an event, a thread, a
 *    socket or memory. A library whose load failed opens nothing and gives
 *    its load failure (20006, or TVX_ERR_CIPHER_KEY (3212)).
 *  - TVX_ERR_SERIAL (20007): the serial port number is outside 1..1024, or
 *    the port cannot be opened or configured.
 *  - TVX_ERR_ETHERNET (20008): the local UDP socket cannot be bound.
 *  - TVX_ERR_PCI_OPEN (20024) .. TVX_ERR_PCI_CHANNEL (20029): the card is
 *    not present (20028) or its driver refused it.
 *  - The results of the open's first request (@ref link_results), above all
 *    TVX_CH_NO_REPLY (3402) when no controller answers within the open's
 *    budget, and a status the controller reported.
 *
 * On any failure nothing is stored through `out` and no handle is left open.
 */

/* ---------------------------------------------------------------------------
 * Records
 * ------------------------------------------------------------------------- */

/* System record record (60 bytes, filled field by field from the
 * controller's reply). Only axisCount has a meaning to the library. */
typedef struct TVX_SysSpecification {
    uint8_t b0, b1, b2, b3;
    uint16_t axisCount; /* number of axes */
    uint8_t b6[6];
    uint32_t u12, u16, u20;
    uint16_t w24, w26, w28;
    uint8_t b30, b31;
    uint32_t u32, u36;
    uint16_t w40[4];
    uint32_t u48;
    uint16_t w52;
    uint8_t b54[6];
} TVX_SysSpecification;

/* Child card record (11 bytes on the wire, passed through field by field). */
typedef struct TVX_ChildCard {
    uint32_t id;
    uint16_t kind;
    uint8_t bytes[5];
} TVX_ChildCard;

/* Host callback for text pushed by the controller (auto-upload). Runs on the
 * link's receive thread; `data` is NUL-terminated and valid only during the
 * call. */
typedef void(TVX_CDECL* TVX_AutoUpCallback)(TVX_HANDLE handle, int32_t value, int32_t length,
                                            const char* data);

/* ---------------------------------------------------------------------------
 * Open, close and handle settings
 * ------------------------------------------------------------------------- */

/**
 * Opens a link to a controller and queries it.
 *
 * The address text is kept in the handle (at most 1023 characters). The
 * open's budget, 5000 ms, bounds the whole open: a controller that does not
 * answer gives 3402 after at most 5 seconds (plus the time the system takes
 * to open the port or card). The handle's transaction budget is 5000 ms
 * afterwards. The open also checks whether the controller supports windowed
 * file transfer.
 *
 * @param kind     Link kind: TVX_LINK_SERIAL, TVX_LINK_ETHERNET or
 *                 TVX_LINK_PCI.
 * @param address  NUL-terminated address text of the link kind: "COM\<n\>",
 *                 "a.b.c.d" or "a.b.c.d:port", "PCI\<n\>" or "PCIE\<n\>".
 *                 Must not be NULL; the library keeps its own copy.
 * @param out      Receives the new handle on success. Must not be NULL.
 * @return TVX_OK (0) with the handle stored through `out`, otherwise a code
 *         from @ref open_results.
 */
TVX_API int32_t TVX_STDCALL TVX_Open(int32_t kind, const char* address, TVX_HANDLE* out);
/**
 * Opens a link as TVX_Open does, with the caller's budget.
 *
 * @param kind       Link kind, as for TVX_Open.
 * @param address    Address text, as for TVX_Open. Must not be NULL.
 * @param timeoutMs  Budget in milliseconds: it bounds the whole open the
 *                   same way TVX_Open's 5000 ms do, and becomes the handle's
 *                   transaction budget afterwards.
 * @param out        Receives the new handle on success. Must not be NULL.
 * @return TVX_OK (0) with the handle stored through `out`, otherwise a code
 *         from @ref open_results.
 */
TVX_API int32_t TVX_STDCALL TVX_OpenWithTimeOut(int32_t kind, const char* address, uint32_t timeoutMs,
                                                TVX_HANDLE* out);
/**
 * Opens a link as TVX_OpenWithTimeOut does, without the transfer probe.
 *
 * The caller's budget bounds the whole open and every transaction
 * afterwards. The controller is not asked whether it supports windowed
 * file transfer, which saves one request.
 *
 * @param kind       Link kind, as for TVX_Open.
 * @param address    Address text, as for TVX_Open. Must not be NULL.
 * @param timeoutMs  Budget of the open and transaction budget afterwards,
 *                   in milliseconds.
 * @param out        Receives the new handle on success. Must not be NULL.
 * @return TVX_OK (0) with the handle stored through `out`, otherwise a code
 *         from @ref open_results.
 */
TVX_API int32_t TVX_STDCALL TVX_FastOpen(int32_t kind, const char* address, uint32_t timeoutMs,
                                         TVX_HANDLE* out);
/**
 * Closes the link.
 *
 * Waits for a transaction in flight on another thread; a caller holding the
 * user lock (TVX_Signal_BasicP) must give it back first. The handle stays
 * refused (20009) afterwards.
 *
 * Unloading the library (dlclose, FreeLibrary) with handles still open
 * closes them and stops their receive and keep-alive threads; the unload
 * returns within 2 seconds. No caller thread may be inside a TVX_ call
 * then.
 *
 * @param handle  Handle to close.
 * @retval TVX_OK (0)                   The link is closed.
 * @retval TVX_ERR_INVALID_HANDLE (20009) The handle is invalid or already
 *                                      closed (also when another thread
 *                                      closed it while this one waited).
 */
TVX_API int32_t TVX_STDCALL TVX_Close(TVX_HANDLE handle);
/**
 * Sets the handle's transaction budget.
 *
 * The budget bounds every request on the handle: its resends and the waits
 * for the reply. It is 5000 ms after TVX_Open, or the budget given to
 * TVX_OpenWithTimeOut or TVX_FastOpen.
 *
 * @param handle  Open handle.
 * @param ms      Budget in milliseconds.
 * @retval TVX_OK (0)                     The budget is set.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 */
TVX_API int32_t TVX_STDCALL TVX_SetTimeOut(TVX_HANDLE handle, uint32_t ms);
/**
 * Reads the handle's transaction budget.
 *
 * @param handle  Open handle.
 * @param ms      Receives the budget in milliseconds. Must not be NULL.
 * @retval TVX_OK (0)                     The budget is stored through `ms`.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `ms` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 */
TVX_API int32_t TVX_STDCALL TVX_GetTimeOut(TVX_HANDLE handle, uint32_t* ms);
/**
 * Progress of the current file transfer.
 *
 * Safe to call from another thread while the transfer runs.
 *
 * @param handle  Handle of the transfer.
 * @return The share of the transfer done so far, 0.0 to 1.0 (0.0 when no
 *         transfer runs); 0.0 for an invalid or closed handle.
 */
TVX_API float TVX_STDCALL TVX_GetProgress(TVX_HANDLE handle);
/**
 * Link kind of the handle.
 *
 * @param handle  Open handle.
 * @return TVX_LINK_SERIAL (1), TVX_LINK_ETHERNET (2) or TVX_LINK_PCI (4);
 *         255 for an invalid or closed handle.
 */
TVX_API uint8_t TVX_STDCALL TVX_GetConnectType(TVX_HANDLE handle);
/**
 * Address text given at open.
 *
 * @param handle  Open handle.
 * @return The NUL-terminated address text (at most 1023 characters). The
 *         text lives in the handle record: do not modify or free it.
 *         NULL for an invalid or closed handle.
 */
TVX_API const char* TVX_STDCALL TVX_GetConnectString(TVX_HANDLE handle);
/**
 * Number of axes the controller reported at open.
 *
 * @param handle  Open handle.
 * @return The low byte of the axis count; 0 for an invalid or closed
 *         handle.
 */
TVX_API uint8_t TVX_STDCALL TVX_GetAxises(TVX_HANDLE handle);
/**
 * Sets the connection identifier sent by every later open.
 *
 * Kept for compatibility: the identifier sent is always 0.
 *
 * @param id  Identifier; not used.
 * @return Always TVX_OK (0).
 */
TVX_API int32_t TVX_STDCALL TVX_SetConnectSecureID(uint32_t id);

/* ---------------------------------------------------------------------------
 * Controller queries, I/O and axes
 * ------------------------------------------------------------------------- */

/* Each function here is one request to the controller: beside the codes it
 * lists it may give the results of a request (see link_results). A query
 * whose reply carries no data gives TVX_ERR_REPLY_LENGTH (20100); a shorter
 * reply is read with the missing bytes as 0, as older controllers send
 * shorter records. */

/**
 * Reads the controller's state byte.
 *
 * @param handle    Open handle.
 * @param stateOut  Receives the state byte. Must not be NULL.
 * @retval TVX_OK (0)                     The state is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `stateOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetState(TVX_HANDLE handle, uint8_t* stateOut);
/**
 * Reads the number of the task that stopped or paused the controller.
 *
 * Sends the same request as TVX_GetState and takes the second byte of its
 * reply.
 *
 * @param handle   Open handle.
 * @param taskOut  Receives the task number. Must not be NULL.
 * @retval TVX_OK (0)                     The task number is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `taskOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetStopPauseTaskid(TVX_HANDLE handle, uint8_t* taskOut);
/**
 * Reads the controller's current IP address as text.
 *
 * @param handle   Open handle.
 * @param textOut  Receives the address text; at least 20 bytes. It is
 *                 NUL-terminated when the text is shorter than 20 bytes.
 *                 Must not be NULL.
 * @retval TVX_OK (0)                     The text is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `textOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data, or more
 *                                        than 20 bytes (nothing copied).
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetCurIpAddr(TVX_HANDLE handle, char* textOut);
/**
 * Reads the controller's client identifier.
 *
 * @param handle    Open handle.
 * @param valueOut  Receives the identifier. Must not be NULL.
 * @retval TVX_OK (0)                     The value is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `valueOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetClientId(TVX_HANDLE handle, int32_t* valueOut);
/**
 * Reads the controller's software identifier.
 *
 * @param handle    Open handle.
 * @param valueOut  Receives the identifier. Must not be NULL.
 * @retval TVX_OK (0)                     The value is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `valueOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetSoftId(TVX_HANDLE handle, int32_t* valueOut);
/**
 * Reads the controller's hardware identifier.
 *
 * @param handle    Open handle.
 * @param valueOut  Receives the identifier. Must not be NULL.
 * @retval TVX_OK (0)                     The value is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `valueOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetHardId(TVX_HANDLE handle, int32_t* valueOut);
/**
 * Reads the controller's last error number.
 *
 * @param handle    Open handle.
 * @param valueOut  Receives the error number. Must not be NULL.
 * @retval TVX_OK (0)                     The value is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `valueOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetError(TVX_HANDLE handle, int32_t* valueOut);
/**
 * Reads the identifier of the controller's chip.
 *
 * @param handle    Open handle.
 * @param valueOut  Receives the identifier. Must not be NULL.
 * @retval TVX_OK (0)                     The value is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `valueOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetChipId(TVX_HANDLE handle, int32_t* valueOut);
/**
 * Reads the controller's firmware version.
 *
 * Every out-parameter is optional: NULL skips it.
 *
 * @param handle      Open handle.
 * @param versionOut  Receives the version number, or NULL.
 * @param textOut     Receives the version text, 16 bytes, or NULL. There is
 *                    no terminator when the text fills all 16 bytes.
 * @param dateOut     Receives the version date as the controller reports
 *                    it, or NULL.
 * @retval TVX_OK (0)                     The fields asked for are stored.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetSoftVersion(TVX_HANDLE handle, uint32_t* versionOut,
                                               char* textOut, uint32_t* dateOut);
/**
 * Enables or disables an axis.
 *
 * @param handle  Open handle.
 * @param axis    Axis number; only its low 8 bits are sent.
 * @param enable  1 to enable, 0 to disable (sent as given).
 * @retval TVX_OK (0)                     The controller accepted the request.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_SetAxisEnable(TVX_HANDLE handle, uint32_t axis, uint8_t enable);
/**
 * Sets one digital output.
 *
 * @param handle    Open handle.
 * @param ioNumber  Output number; sent as its low 16 bits.
 * @param state     New state: 0 off, 1 on (sent as given).
 * @retval TVX_OK (0)                     The controller accepted the request.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_SetOutput(TVX_HANDLE handle, uint32_t ioNumber, uint8_t state);
/**
 * Reads one digital input.
 *
 * @param handle    Open handle.
 * @param ioNumber  Input number; sent as its low 16 bits.
 * @param stateOut  Receives the state, 0 or 1. Must not be NULL.
 * @retval TVX_OK (0)                     The state is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `stateOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetIn(TVX_HANDLE handle, uint32_t ioNumber, uint8_t* stateOut);
/**
 * Reads back one digital output.
 *
 * @param handle    Open handle.
 * @param ioNumber  Output number; sent as its low 16 bits.
 * @param stateOut  Receives the state, 0 or 1. Must not be NULL.
 * @retval TVX_OK (0)                     The state is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `stateOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetOutput(TVX_HANDLE handle, uint32_t ioNumber, uint8_t* stateOut);
/**
 * Sets a range of digital outputs at once.
 *
 * @param handle  Open handle.
 * @param first   First output number of the range; sent as its low 16 bits.
 * @param last    Last output number of the range; sent as its low 16 bits.
 * @param bits    New states, output `first` in bit 0.
 * @retval TVX_OK (0)                     The controller accepted the request.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_SetOutAll(TVX_HANDLE handle, uint32_t first, uint32_t last,
                                          int32_t bits);
/**
 * Reads a range of digital inputs at once.
 *
 * @param handle   Open handle.
 * @param first    First input number of the range; sent as its low 16 bits.
 * @param last     Last input number of the range; sent as its low 16 bits.
 * @param bitsOut  Receives the states, input `first` in bit 0. Must not be
 *                 NULL.
 * @retval TVX_OK (0)                     The states are stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `bitsOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetInAll(TVX_HANDLE handle, uint32_t first, uint32_t last,
                                         int32_t* bitsOut);
/**
 * Reads back a range of digital outputs at once.
 *
 * @param handle   Open handle.
 * @param first    First output number of the range; sent as its low 16 bits.
 * @param last     Last output number of the range; sent as its low 16 bits.
 * @param bitsOut  Receives the states, output `first` in bit 0. Must not be
 *                 NULL.
 * @retval TVX_OK (0)                     The states are stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `bitsOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetOutAll(TVX_HANDLE handle, uint32_t first, uint32_t last,
                                          int32_t* bitsOut);
/**
 * Sets one analogue output.
 *
 * @param handle         Open handle.
 * @param channelNumber  Output channel; sent as its low 16 bits.
 * @param value          Output value, sent as is.
 * @retval TVX_OK (0)                     The controller accepted the request.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_SetDaOut(TVX_HANDLE handle, uint32_t channelNumber, int32_t value);
/**
 * Reads back one analogue output.
 *
 * @param handle         Open handle.
 * @param channelNumber  Output channel; sent as its low 16 bits.
 * @param valueOut       Receives the value. Must not be NULL.
 * @retval TVX_OK (0)                     The value is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `valueOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetDaOut(TVX_HANDLE handle, uint32_t channelNumber, float* valueOut);
/**
 * Reads one analogue input.
 *
 * @param handle         Open handle.
 * @param channelNumber  Input channel; sent as its low 16 bits.
 * @param valueOut       Receives the value. Must not be NULL.
 * @retval TVX_OK (0)                     The value is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `valueOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetAIn(TVX_HANDLE handle, uint32_t channelNumber, float* valueOut);
/**
 * Reads the state bytes of an axis.
 *
 * @param handle     Open handle.
 * @param axis       Axis number; sent as its low 8 bits.
 * @param statesOut  Receives 17 state bytes. Must not be NULL.
 * @retval TVX_OK (0)                     The 17 bytes are stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `statesOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetAxisStates(TVX_HANDLE handle, uint32_t axis, uint8_t* statesOut);
/**
 * Reads the feature bits of an axis.
 *
 * @param handle       Open handle.
 * @param axis         Axis number; sent as its low 8 bits.
 * @param featuresOut  Receives the feature bits. Must not be NULL.
 * @retval TVX_OK (0)                     The value is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `featuresOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetAxisFeatures(TVX_HANDLE handle, uint32_t axis,
                                                int32_t* featuresOut);
/**
 * Reads the controller's system record.
 *
 * @param handle     Open handle.
 * @param recordOut  Receives the record, filled field by field from the
 *                   reply. Must not be NULL.
 * @retval TVX_OK (0)                     The record is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `recordOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetSysSpecification(TVX_HANDLE handle,
                                                    TVX_SysSpecification* recordOut);
/**
 * Reads the state of a task.
 *
 * Every out-parameter is optional: NULL skips it.
 *
 * @param handle     Open handle.
 * @param task       Task number; sent as its low 16 bits.
 * @param stateOut   Receives the task's state byte, or NULL.
 * @param secondOut  Receives the second state byte, or NULL.
 * @param wordOut    Receives the 16-bit field of the reply, or NULL.
 * @param valueOut   Receives the 32-bit field of the reply, or NULL.
 * @param textOut    Receives the task's text, 26 bytes, or NULL. There is no
 *                   terminator when the text fills all 26 bytes.
 * @retval TVX_OK (0)                     The fields asked for are stored.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetTaskState(TVX_HANDLE handle, uint32_t task, uint8_t* stateOut,
                                             uint8_t* secondOut, uint16_t* wordOut,
                                             int32_t* valueOut, char* textOut);
/**
 * Reads one level of a task's call stack.
 *
 * Every out-parameter is optional: NULL skips it.
 *
 * @param handle    Open handle.
 * @param task      Task number; sent as its low 16 bits.
 * @param level     Stack level; sent as its low 16 bits.
 * @param byteOut   Receives the level's state byte, or NULL.
 * @param valueOut  Receives the level's 32-bit value, or NULL.
 * @param textOut   Receives the level's text, 23 bytes, or NULL. There is no
 *                  terminator when the text fills all 23 bytes.
 * @retval TVX_OK (0)                     The fields asked for are stored.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetTaskStackState(TVX_HANDLE handle, uint32_t task, uint32_t level,
                                                  uint8_t* byteOut, int32_t* valueOut,
                                                  char* textOut);
/**
 * Reads the record of one child card of the controller.
 *
 * @param handle     Open handle.
 * @param index      Index of the card; sent as its low 16 bits.
 * @param recordOut  Receives the card record. Must not be NULL.
 * @retval TVX_OK (0)                     The record is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `recordOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_EnumChildCard(TVX_HANDLE handle, uint32_t index,
                                              TVX_ChildCard* recordOut);
/**
 * Asks the controller to low-level format its NAND flash.
 *
 * @param handle  Open handle.
 * @param value   Argument passed to the controller as is.
 * @retval TVX_OK (0)                     The controller accepted the request.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_LowFormatNand(TVX_HANDLE handle, int32_t value);
/**
 * Asks the controller to return to its factory settings.
 *
 * @param handle  Open handle.
 * @param value   Argument passed to the controller as is.
 * @retval TVX_OK (0)                     The controller accepted the request.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ReturnDefault(TVX_HANDLE handle, int32_t value);
/**
 * Asks the controller to reset itself.
 *
 * @param handle  Open handle.
 * @retval TVX_OK (0)                     The controller accepted the request.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ResetController(TVX_HANDLE handle);
/**
 * Asks the controller to clear its log.
 *
 * @param handle  Open handle.
 * @retval TVX_OK (0)                     The controller accepted the request.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ClearLog(TVX_HANDLE handle);
/**
 * Sets the controller's MAC address from its text.
 *
 * Sends the text with its terminating NUL.
 *
 * @param handle  Open handle.
 * @param text    NUL-terminated MAC address text, at most 2043 characters.
 *                Must not be NULL.
 * @retval TVX_OK (0)                     The controller accepted the request.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `text` is NULL or longer than 2043
 *                                        characters (nothing sent).
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_SetMac(TVX_HANDLE handle, const char* text);
/**
 * Reads the controller's MAC address as text.
 *
 * @param handle   Open handle.
 * @param textOut  Receives the text; at least 14 bytes. It is NUL-terminated
 *                 when the text is shorter than 14 bytes. Must not be NULL.
 * @retval TVX_OK (0)                     The text is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `textOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply carries no data, or more
 *                                        than 14 bytes (nothing copied).
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetMac(TVX_HANDLE handle, char* textOut);
/**
 * Kept for compatibility: checks nothing and sends nothing.
 *
 * @param text       Program text; not read.
 * @param resultOut  Not written.
 * @return Always TVX_OK (0).
 */
TVX_API int32_t TVX_STDCALL TVX_CheckProgramSyntax(const char* text, int32_t* resultOut);

/* ---------------------------------------------------------------------------
 * Ethernet links and discovery
 * ------------------------------------------------------------------------- */

/**
 * Opens an Ethernet link when a controller answers a short probe.
 *
 * Probes the address for 100 ms (TVX_SearchAndOpenEth with 100 ms) and
 * opens it with TVX_Open when a controller answers.
 *
 * @param ip   NUL-terminated address "a.b.c.d" or "a.b.c.d:port". Must not
 *             be NULL.
 * @param out  Receives the new handle on success. Must not be NULL.
 * @retval TVX_OK (0)                        The link is open.
 * @retval TVX_ERR_DISCOVERY_ARGUMENT (3206) `ip` is NULL.
 * @retval TVX_ERR_ETHERNET (20008)          No controller answered the probe.
 * @retval -1                                No probe socket could be made.
 * @return Otherwise a code from @ref open_results (20006 also when the probe's
 *         thread cannot start).
 */
TVX_API int32_t TVX_STDCALL TVX_OpenEth(const char* ip, TVX_HANDLE* out);
/**
 * Opens an Ethernet link as TVX_OpenEth does, from a numeric address.
 *
 * @param ip   IPv4 address as a 32-bit value in network byte order (its
 *             first byte in memory is the first number of the dotted text).
 * @param out  Receives the new handle on success. Must not be NULL.
 * @return The results of TVX_OpenEth.
 */
TVX_API int32_t TVX_STDCALL TVX_OpenEth2(uint32_t ip, TVX_HANDLE* out);
/**
 * Finds the controllers on the local network.
 *
 * Broadcasts the discovery probe and collects answers for `timeMs`. Calls
 * may run concurrently.
 *
 * @param buffer      Receives the dotted address of every answering
 *                    controller, each followed by a blank, NUL-terminated.
 *                    Must not be NULL.
 * @param bufferSize  Size of `buffer` in bytes: 15 + 1 per controller plus
 *                    the terminator. A full buffer ends the search early.
 * @param timeMs      How long to wait for answers, in milliseconds.
 * @retval TVX_OK (0)                        The search ran (the buffer may
 *                                           hold no address).
 * @retval TVX_ERR_DISCOVERY_ARGUMENT (3206) `buffer` is NULL.
 * @retval TVX_ERR_OS (20006)                The search's memory or thread
 *                                           could not be had.
 * @retval -1                                No socket could be created.
 */
TVX_API int32_t TVX_STDCALL TVX_SearchEth(char* buffer, uint32_t bufferSize, uint32_t timeMs);
/**
 * Probes an address and opens it when a controller answers.
 *
 * @param ip      NUL-terminated address "a.b.c.d" or "a.b.c.d:port"; the
 *                probe goes to the part before the ":". Must not be NULL.
 * @param timeMs  How long to wait for the probe's answer, in milliseconds.
 * @param out     Receives the new handle on success. Must not be NULL.
 * @retval TVX_OK (0)                        The link is open.
 * @retval TVX_ERR_DISCOVERY_ARGUMENT (3206) `ip` is NULL.
 * @retval TVX_ERR_ETHERNET (20008)          No controller answered in time.
 * @retval -1                                No probe socket could be made.
 * @return Otherwise a code from @ref open_results (20002 for a NULL `out`,
 *         found after the probe; 20006 also when the probe's memory or
 *         thread cannot be had).
 */
TVX_API int32_t TVX_STDCALL TVX_SearchAndOpenEth(const char* ip, uint32_t timeMs, TVX_HANDLE* out);

/* ---------------------------------------------------------------------------
 * PCI and PCIe cards
 *
 * Cards are reached through their driver. Addresses for TVX_Open and
 * TVX_FastOpen with TVX_LINK_PCI: "PCI<n>" counts every card from 1, the
 * PCI-class cards first and then the PCIe-class cards; "PCIE<n>" counts the
 * PCIe-class cards alone from 1. Letter case does not matter; at most 255
 * characters; at most 16 cards of each class are counted. Open results of
 * the link: 20002 for another prefix or a longer text, 20028 for a card
 * number outside the cards present, 20024 to 20027 and 20029 when the
 * driver refuses the card (see the result codes).
 *
 * Threading: each handle runs a receive thread that polls the driver every
 * 2 ms; a caller waiting for a reply polls it too and may therefore run the
 * auto-upload callback on its own thread, while it holds the handle's
 * transaction lock: a callback must never call the library on that handle.
 *
 * Stand-in driver: with the environment variable TAVRIX_PCI_DRIVER set to
 * "sim:PORT" or "sim:HOST:PORT" (HOST a loopback address, 127.0.0.1 when
 * left out) the library speaks to simulated cards (tavrix-sim --pci) over
 * loopback TCP instead of the system's driver; it is read at every open and
 * count. Any other value there gives no cards. Without the variable the
 * system's driver is used: on systems other than Windows there is none, and
 * no cards are present.
 * ------------------------------------------------------------------------- */

/**
 * Opens a PCI or PCIe card: TVX_Open of "PCI\<card+1\>".
 *
 * @param card  Card number, 0-based over all cards (PCI-class cards first,
 *              then PCIe-class cards). 0xFFFFFFFF wraps to "PCI0", which no
 *              card answers to (20028).
 * @param out   Receives the new handle on success. Must not be NULL.
 * @return TVX_OK (0) with the handle stored through `out`, otherwise a code
 *         from @ref open_results.
 */
TVX_API int32_t TVX_STDCALL TVX_OpenPci(uint32_t card, TVX_HANDLE* out);
/**
 * Counts the cards present.
 *
 * @return The number of PCIe-class plus PCI-class cards, at most 16 of
 *         each; 0 when there are none or no driver. Never a result code.
 */
TVX_API int32_t TVX_STDCALL TVX_GetMaxPciCards(void);

/* ---------------------------------------------------------------------------
 * Serial links (RS-232, RS-485, USB adapters)
 *
 * Port n (1 to 1024) is "\\.\COMn" on Windows. On Linux port n opens the
 * device named by the environment variable TAVRIX_COMn when it is set and
 * not empty (for example TAVRIX_COM3=/dev/ttyUSB0), otherwise
 * /dev/ttyS<n-1>. The port runs raw with 8 data bits, no flow control, DTR
 * on and RTS off, and is held exclusively while open. Frames carry the
 * station address and a CRC-16; a transaction sends at most twice, each wait
 * capped by the handle's time budget (TVX_SetTimeOut, TVX_PeakCom).
 * A port that goes away while open (adapter unplugged) makes every later
 * request, and one waiting at that moment, return 20001 at once; the handle
 * can still be closed. Ports numbered outside 1..1024, ports that cannot be
 * opened and ports that refuse 38400-8-N-1 give 20007.
 * ------------------------------------------------------------------------- */

/**
 * Opens a serial port as TVX_Open(TVX_LINK_SERIAL, "COM   3", out) would
 * for port 3.
 *
 * @param port  Port number, 1 to 1024.
 * @param out   Receives the new handle on success. Must not be NULL.
 * @return TVX_OK (0) with the handle stored through `out`, otherwise a code
 *         from @ref open_results.
 */
TVX_API int32_t TVX_STDCALL TVX_OpenCom(uint32_t port, TVX_HANDLE* out);
/**
 * Opens a serial port as TVX_OpenCom does, through TVX_FastOpen.
 *
 * The transaction budget is `timeoutMs` and there is no transfer probe.
 *
 * @param port       Port number, 1 to 1024.
 * @param timeoutMs  Budget of the open and transaction budget afterwards,
 *                   in milliseconds.
 * @param out        Receives the new handle on success. Must not be NULL.
 * @return TVX_OK (0) with the handle stored through `out`, otherwise a code
 *         from @ref open_results.
 */
TVX_API int32_t TVX_STDCALL TVX_PeakCom(uint32_t port, uint32_t timeoutMs, TVX_HANDLE* out);
/**
 * Opens the first serial port of a range whose controller answers.
 *
 * Tries ports `first` to `last` in turn with TVX_PeakCom and 300 ms each;
 * the first that answers is opened. Each silent port costs about 300 ms.
 *
 * @param first     First port to try.
 * @param last      Last port to try; ports above 1024 are not tried.
 * @param found     Receives the number of the port opened, or NULL.
 * @param reserved  Ignored.
 * @param out       Receives the new handle on success. Must not be NULL.
 * @retval TVX_OK (0)                   A port is open; its number is stored
 *                                      through `found`.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `out` is NULL (no port is tried).
 * @retval TVX_ERR_SERIAL (20007)       No port answered, or `first` is
 *                                      greater than `last`.
 */
TVX_API int32_t TVX_STDCALL TVX_SearchAndOpenCom(uint32_t first, uint32_t last, uint32_t* found, uint32_t reserved,
                                                 TVX_HANDLE* out);
/**
 * Sets the line settings of later serial opens.
 *
 * A port that refuses them stays at 38400-8-N-1. Not synchronised with
 * opens in progress.
 *
 * @param baud      Baud rate (default 38400).
 * @param dataBits  Data bits; stored only: the port always runs 8.
 * @param parity    0 none (default), 1 odd, 2 even, 3 mark, 4 space.
 * @param stopBits  0 one (default), 1 one and a half, 2 two; on Linux one
 *                  and a half runs as two.
 * @return Always TVX_OK (0).
 */
TVX_API int32_t TVX_STDCALL TVX_SetComDefaultBaud(uint32_t baud, uint32_t dataBits, uint32_t parity,
                                                  uint32_t stopBits);
/**
 * Sets the station address of later serial opens.
 *
 * @param station  Station address; default 254, which every controller
 *                 answers. 0 means 254.
 * @return Always TVX_OK (0).
 */
TVX_API int32_t TVX_STDCALL TVX_SetComDefaultID(uint8_t station);
/**
 * Sets the station address of this handle's frames.
 *
 * Replies from this station or 254 are accepted.
 *
 * @param handle   Open handle.
 * @param station  Station address; 0 means 254.
 * @retval TVX_OK (0)                     The station is set.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 */
TVX_API int32_t TVX_STDCALL TVX_SetComCurID(TVX_HANDLE handle, uint8_t station);
/**
 * Moves the serial line to another baud rate for this connection.
 *
 * Asks the controller to move its serial line to `baud` (request 226) and,
 * when it accepts, moves the local port too (with the defaults' parity and
 * stop bits). Lasts until the port is closed; the controller's own setting
 * decides after that.
 *
 * @param handle  Open handle of a serial link.
 * @param baud    New baud rate.
 * @retval TVX_OK (0)                     Both ends run at `baud`.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   The handle is not a serial link
 *                                        (nothing is sent).
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results; the local port then keeps
 *         its rate.
 */
TVX_API int32_t TVX_STDCALL TVX_TempModBaud(TVX_HANDLE handle, uint32_t baud);

/* ---------------------------------------------------------------------------
 * Library frame and version
 * ------------------------------------------------------------------------- */

/**
 * Writes the library's file version as text.
 *
 * The text is "major.minor.patch.tweak", each part 0..255. Thread-safe.
 *
 * @param out  Receives the NUL-terminated text; must hold 16 bytes.
 * @retval TVX_OK (0)                   The version is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `out` is NULL.
 * @retval TVX_ERR_OS (20006)           The version cannot be read (`out` is
 *                                      untouched).
 */
TVX_API int32_t TVX_STDCALL TVX_GetDllVersion(char* out);

/* ---------------------------------------------------------------------------
 * Text commands
 * ------------------------------------------------------------------------- */

/* Commands for the controller's command interpreter, as NUL-terminated
 * text. A text that ends in a line feed is sent as is; any other text is
 * sent with its 0 byte, so the interpreter always sees the end of the
 * command. Long texts go out in chunks sized to the controller's free
 * command-buffer space.
 *
 * Answers: `response` receives the answer text; `responseCapacity` is its
 * size in bytes. The text is NUL-terminated when it is shorter than the
 * capacity and left without terminator when it fills the buffer exactly;
 * an answer that does not fit gives TVX_ERR_BUFFER_TOO_SMALL (20030), with
 * the pieces already received left in the buffer. A NULL `response` is
 * allowed only with capacity 0. A NULL command text gives 20002.
 *
 * Time limits (`timeLimitMs`) bound each wait of the conversation: for the
 * previous command to finish, for buffer space, and for answer text; they
 * give TVX_ERR_TIME_LIMIT (20003). Polls that bring answer text never end a
 * wait on time.
 *
 * Threading: TVX_Execute, TVX_ExecuteNoAck, TVX_ExecuteWaitDown and
 * TVX_ExecuteGetReceive hold the handle's user lock (the semaphore of
 * TVX_Signal_BasicP/BasicV) for their whole run, so calls from several
 * threads on one handle run one conversation after another and each thread
 * gets its own answer; other requests on the handle still run between
 * their polls. A thread holding TVX_Signal_BasicP keeps these calls waiting.
 * TVX_DirectCommand and TVX_ExecuteGetRemainBuffSpace do not take the user
 * lock. */

/**
 * Runs a command and collects its whole answer.
 *
 * Waits for the previous command to finish, sends `commandText` and
 * collects its answer until the command has finished. Holds the handle's
 * user lock for the whole conversation.
 *
 * @param handle            Open handle.
 * @param commandText       NUL-terminated command text. Must not be NULL.
 * @param timeLimitMs       Limit of each wait of the conversation, in
 *                          milliseconds.
 * @param response          Receives the answer text; NULL only with
 *                          capacity 0.
 * @param responseCapacity  Size of `response` in bytes.
 * @retval TVX_OK (0)                      The command finished; its answer is
 *                                         in `response`.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)    `commandText` is NULL, or
 *                                         `response` is NULL with a non-zero
 *                                         capacity.
 * @retval TVX_ERR_TIME_LIMIT (20003)      A wait passed `timeLimitMs` (or
 *                                         answer polls that announce more
 *                                         text without bringing any went on
 *                                         for the handle's transaction
 *                                         budget).
 * @retval TVX_ERR_INVALID_HANDLE (20009)  Invalid or closed handle, also one
 *                                         closed while this call waited.
 * @retval TVX_ERR_BUFFER_TOO_SMALL (20030) The answer does not fit; the
 *                                         pieces received stay in the
 *                                         buffer. Also an answer poll whose
 *                                         reply carries no data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_Execute(TVX_HANDLE handle, const char* commandText, uint32_t timeLimitMs,
                                        char* response, uint32_t responseCapacity);
/**
 * Sends a command without waiting for or collecting its answer.
 *
 * Collect the answer later with TVX_ExecuteGetReceive. The text goes out
 * in chunks as the controller's command buffer has room.
 *
 * @param handle       Open handle.
 * @param commandText  NUL-terminated command text. Must not be NULL.
 * @param timeLimitMs  Limit of the wait for buffer space, in milliseconds,
 *                     counted from the call.
 * @retval TVX_OK (0)                     The whole text was sent.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `commandText` is NULL.
 * @retval TVX_ERR_TIME_LIMIT (20003)     The controller had no buffer space
 *                                        within the limit.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle, also one
 *                                        closed while this call waited.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ExecuteNoAck(TVX_HANDLE handle, const char* commandText, uint32_t timeLimitMs);
/**
 * Waits until the current command has finished.
 *
 * Fetches and discards answer text until the controller reports the
 * command finished.
 *
 * @param handle       Open handle.
 * @param timeLimitMs  Limit of the wait, in milliseconds.
 * @retval TVX_OK (0)                       The command has finished.
 * @retval TVX_ERR_TIME_LIMIT (20003)       It had not finished within the
 *                                          limit.
 * @retval TVX_ERR_INVALID_HANDLE (20009)   Invalid or closed handle, also
 *                                          one closed while this call waited.
 * @retval TVX_ERR_BUFFER_TOO_SMALL (20030) An answer poll's reply carries no
 *                                          data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ExecuteWaitDown(TVX_HANDLE handle, uint32_t timeLimitMs);
/**
 * Collects the answer text waiting now.
 *
 * @param handle            Open handle.
 * @param response          Receives the text, NUL-terminated when shorter
 *                          than the capacity; NULL only with capacity 0.
 * @param responseCapacity  Size of `response` in bytes.
 * @param lengthOut         Receives the count of bytes stored. Must not be
 *                          NULL.
 * @param doneOut           Receives 1 when the command has finished, 0 when
 *                          more may follow; or NULL.
 * @retval TVX_OK (0)                       The text waiting is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)     `lengthOut` is NULL, or `response`
 *                                          is NULL with a non-zero capacity.
 * @retval TVX_ERR_TIME_LIMIT (20003)       Answer polls announced more text
 *                                          without bringing any for the
 *                                          handle's transaction budget.
 * @retval TVX_ERR_INVALID_HANDLE (20009)   Invalid or closed handle, also
 *                                          one closed while this call waited.
 * @retval TVX_ERR_BUFFER_TOO_SMALL (20030) The text does not fit (the pieces
 *                                          received stay in the buffer;
 *                                          `lengthOut` is not written), or an
 *                                          answer poll's reply carries no
 *                                          data.
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ExecuteGetReceive(TVX_HANDLE handle, char* response, uint32_t responseCapacity,
                                                  uint32_t* lengthOut, uint8_t* doneOut);
/**
 * Free space of the controller's command buffer.
 *
 * @param handle  Open handle.
 * @return The free space in bytes; 0 when the request fails or the
 *         controller reports no room; 20009 (TVX_ERR_INVALID_HANDLE, as a
 *         value) for an invalid or closed handle.
 */
TVX_API uint32_t TVX_STDCALL TVX_ExecuteGetRemainBuffSpace(TVX_HANDLE handle);
/**
 * Runs a command in one exchange and copies its answer.
 *
 * The text travels with its 0 byte in one request: at most 2037 characters
 * on serial and PCI links and 2033 on Ethernet. Does not take the user
 * lock.
 *
 * @param handle            Open handle.
 * @param commandText       NUL-terminated command text. Must not be NULL.
 * @param response          Receives the answer, NUL-terminated when shorter
 *                          than the capacity; may be NULL with capacity 0.
 * @param responseCapacity  Size of `response` in bytes; 0 asks for no
 *                          answer.
 * @retval TVX_OK (0)                     The answer is stored.
 * @retval TVX_CH_CANNOT_FRAME (3401)     The text is longer than the link
 *                                        carries in one request.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `commandText` is NULL, `response` is
 *                                        NULL with a non-zero capacity, or
 *                                        the text has 2040 characters or
 *                                        more (nothing sent).
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The answer is longer than the
 *                                        capacity (nothing copied).
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_DirectCommand(TVX_HANDLE handle, const char* commandText, char* response,
                                              uint32_t responseCapacity);

/* ---------------------------------------------------------------------------
 * Modbus coils and holding registers, named register areas
 *
 * The TVX_Modbus_ functions use the standard Modbus functions on the
 * controller's coils (0x, single bits) and holding registers (4x, 16-bit
 * words), framed like every other request of the link. Each call is one
 * transaction under the handle's transaction lock; nothing is kept between
 * calls. A count of 0 returns 0 without traffic (the array may then be
 * NULL); otherwise a NULL array gives 20002. Coils travel eight to a byte,
 * the lowest address in bit 0 of the first byte; registers are in host
 * order in the caller's arrays.
 *
 * Results beside the usual ones: 3401 for a write of more than 1968 coils
 * or 123 registers (61 32-bit values); 3402 when no reply came within the
 * budget; 3403 for a read reply that does not carry exactly the requested
 * coils or registers; 3420 + n for Modbus exception n (3422 illegal data
 * address, 3423 illegal data value).
 *
 * On Ethernet the library resends a request after 30 ms, 60 ms, ... and the
 * standard replies carry nothing that tells one request from another of
 * the same function. A controller that answers a read only after a resend
 * may therefore leave a second, late answer that the next read of the same
 * size takes for its own. Where a stale value matters, compare two reads.
 * ------------------------------------------------------------------------- */

/**
 * Writes coils.
 *
 * Uses function 5 for one coil (bit 0 of the first byte; the other bits are
 * ignored) and function 15 for more.
 *
 * @param handle  Open handle.
 * @param start   Address of the first coil.
 * @param count   Number of coils, at most 1968; 0 returns 0 without
 *                traffic.
 * @param bits    (count + 7) / 8 bytes of coil states, eight to a byte, the
 *                lowest address in bit 0 of the first byte. May be NULL only
 *                with count 0.
 * @retval TVX_OK (0)                     The controller accepted the write.
 * @retval TVX_CH_CANNOT_FRAME (3401)     More than 1968 coils (nothing sent).
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `bits` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results (3402, 3420 + n, ...).
 */
TVX_API int32_t TVX_STDCALL TVX_Modbus_Set0x(TVX_HANDLE handle, uint16_t start, uint16_t count, const uint8_t* bits);
/**
 * Reads coils.
 *
 * @param handle   Open handle.
 * @param start    Address of the first coil.
 * @param count    Number of coils; 0 returns 0 without traffic.
 * @param bitsOut  Receives (count + 7) / 8 bytes of coil states, eight to a
 *                 byte, the lowest address in bit 0 of the first byte; the
 *                 unused high bits of the last byte are cleared. May be NULL
 *                 only with count 0.
 * @retval TVX_OK (0)                     The states are stored.
 * @retval TVX_CH_MISMATCH (3403)         The reply does not carry exactly the
 *                                        requested coils (nothing stored).
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `bitsOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results (3402, 3420 + n, ...).
 */
TVX_API int32_t TVX_STDCALL TVX_Modbus_Get0x(TVX_HANDLE handle, uint16_t start, uint16_t count, uint8_t* bitsOut);
/**
 * Writes holding registers.
 *
 * Uses function 6 for one register and function 16 for more.
 *
 * @param handle  Open handle.
 * @param start   Address of the first register.
 * @param count   Number of registers, at most 123; 0 returns 0 without
 *                traffic.
 * @param words   `count` register values in host order. May be NULL only
 *                with count 0.
 * @retval TVX_OK (0)                     The controller accepted the write.
 * @retval TVX_CH_CANNOT_FRAME (3401)     More than 123 registers (nothing
 *                                        sent).
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `words` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results (3402, 3420 + n, ...).
 */
TVX_API int32_t TVX_STDCALL TVX_Modbus_Set4x(TVX_HANDLE handle, uint16_t start, uint16_t count, const uint16_t* words);
/**
 * Reads holding registers.
 *
 * @param handle    Open handle.
 * @param start     Address of the first register.
 * @param count     Number of registers; a Modbus read asks at most 125 (a
 *                  larger count is sent and ends in the controller's
 *                  exception or 3403). 0 returns 0 without traffic.
 * @param wordsOut  Receives `count` register values in host order. May be
 *                  NULL only with count 0.
 * @retval TVX_OK (0)                     The values are stored.
 * @retval TVX_CH_MISMATCH (3403)         The reply does not carry exactly the
 *                                        requested registers (nothing
 *                                        stored).
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `wordsOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results (3402, 3420 + n, ...).
 */
TVX_API int32_t TVX_STDCALL TVX_Modbus_Get4x(TVX_HANDLE handle, uint16_t start, uint16_t count, uint16_t* wordsOut);
/**
 * Writes 32-bit values, two holding registers each.
 *
 * Value k goes to registers start + 2k (low 16 bits) and start + 2k + 1
 * (high 16 bits), always with function 16. Integers and IEEE-754 singles
 * alike: only the bits travel.
 *
 * @param handle  Open handle.
 * @param start   Address of the first register.
 * @param count   Number of values, at most 61; 0 returns 0 without traffic.
 * @param values  `count` values. May be NULL only with count 0.
 * @retval TVX_OK (0)                     The controller accepted the write.
 * @retval TVX_CH_CANNOT_FRAME (3401)     More than 61 values (nothing sent).
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `values` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results (3402, 3420 + n, ...).
 */
TVX_API int32_t TVX_STDCALL TVX_Modbus_SetLong(TVX_HANDLE handle, uint16_t start, uint16_t count,
                                               const uint32_t* values);
/**
 * Reads 32-bit values, two holding registers each.
 *
 * Value k comes from registers start + 2k (low 16 bits) and start + 2k + 1
 * (high 16 bits).
 *
 * @param handle     Open handle.
 * @param start      Address of the first register.
 * @param count      Number of values; a read of more than 62 values asks
 *                   more than the 125 registers a Modbus read may (it is
 *                   sent and ends in the controller's exception or 3403).
 *                   0 returns 0 without traffic.
 * @param valuesOut  Receives `count` values. May be NULL only with count 0.
 * @retval TVX_OK (0)                     The values are stored.
 * @retval TVX_CH_CANNOT_FRAME (3401)     More than 32767 values: the register
 *                                        count does not fit its field
 *                                        (nothing sent).
 * @retval TVX_CH_MISMATCH (3403)         The reply does not carry exactly the
 *                                        requested registers (nothing
 *                                        stored).
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `valuesOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @return Otherwise a code from @ref link_results (3402, 3420 + n, ...).
 */
TVX_API int32_t TVX_STDCALL TVX_Modbus_GetLong(TVX_HANDLE handle, uint16_t start, uint16_t count, uint32_t* valuesOut);
/**
 * Writes IEEE-754 single values; the same function as TVX_Modbus_SetLong.
 *
 * @param handle  Open handle.
 * @param start   Address of the first register.
 * @param count   Number of values, at most 61; 0 returns 0 without traffic.
 * @param values  `count` values as their 32-bit patterns. May be NULL only
 *                with count 0.
 * @return The results of TVX_Modbus_SetLong.
 */
TVX_API int32_t TVX_STDCALL TVX_Modbus_SetIEEE(TVX_HANDLE handle, uint16_t start, uint16_t count,
                                               const uint32_t* values);
/**
 * Reads IEEE-754 single values; the same function as TVX_Modbus_GetLong.
 *
 * @param handle     Open handle.
 * @param start      Address of the first register.
 * @param count      Number of values; 0 returns 0 without traffic.
 * @param valuesOut  Receives `count` values as their 32-bit patterns. May be
 *                   NULL only with count 0.
 * @return The results of TVX_Modbus_GetLong.
 */
TVX_API int32_t TVX_STDCALL TVX_Modbus_GetIEEE(TVX_HANDLE handle, uint16_t start, uint16_t count, uint32_t* valuesOut);

/**
 * Reads elements of a named register area.
 *
 * Areas, by their exact (case-sensitive) names, each with its element
 * width in bits:
 *   "D" 16, "M" 1, "V" 16, "Z" 16, "S" 1, "C" and "T" 1, 16 or 32 (the
 *   caller's widthBits), "X" 1 (read only), "Y" 1, "VR" 32, "VR_INT" 32,
 *   "DT" 64 when widthBits is 64 and 32 otherwise, "TABLE" 32, "DA" 32,
 *   "AD" 32 (read only).
 * The data are (width x count + 7) / 8 bytes, packed as the controller
 * stores them (bits eight to a byte, first element in bit 0; wider elements
 * little-endian), neither swapped nor converted. One call moves at most 192
 * bytes on a serial link and 992 on the others.
 *
 * @param handle     Open handle.
 * @param areaName   NUL-terminated area name. Must not be NULL.
 * @param widthBits  Element width for "C" and "T" (1, 16 or 32) and "DT"
 *                   (64 for 64-bit elements); ignored for the other areas.
 * @param start      Number of the first element.
 * @param count      Number of elements.
 * @param dataOut    Receives the packed data. Must not be NULL.
 * @retval TVX_OK (0)                     The data are stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `areaName` is NULL or no area's
 *                                        name, a "C" or "T" width other than
 *                                        1, 16 or 32, or `dataOut` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_OVER_LIMIT (20035)     The data are more bytes than one
 *                                        call moves (nothing sent).
 * @retval TVX_ERR_REPLY_LENGTH (20100)   The reply does not carry exactly
 *                                        the asked bytes (nothing copied).
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_RegisterRead(TVX_HANDLE handle, const char* areaName, uint8_t widthBits,
                                             uint32_t start, uint16_t count, void* dataOut);
/**
 * Writes elements of a named register area.
 *
 * The areas, widths, data layout and limits are those of TVX_RegisterRead;
 * "X" and "AD" are read only.
 *
 * @param handle     Open handle.
 * @param areaName   NUL-terminated area name. Must not be NULL.
 * @param widthBits  Element width for "C" and "T" (1, 16 or 32) and "DT"
 *                   (64 for 64-bit elements); ignored for the other areas.
 * @param start      Number of the first element.
 * @param count      Number of elements.
 * @param data       The packed data, (width x count + 7) / 8 bytes. Must
 *                   not be NULL.
 * @retval TVX_OK (0)                     The controller accepted the write.
 * @retval TVX_ERR_BAD_ARGUMENT (20002)   `areaName` is NULL or no area's
 *                                        name, a "C" or "T" width other than
 *                                        1, 16 or 32, a write to "X" or
 *                                        "AD", or `data` is NULL.
 * @retval TVX_ERR_INVALID_HANDLE (20009) Invalid or closed handle.
 * @retval TVX_ERR_OVER_LIMIT (20035)     The data are more bytes than one
 *                                        call moves (nothing sent).
 * @return Otherwise a code from @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_RegisterWrite(TVX_HANDLE handle, const char* areaName, uint8_t widthBits,
                                              uint32_t start, uint16_t count, const void* data);

/* ---------------------------------------------------------------------------
 * Result descriptions
 * ------------------------------------------------------------------------- */

/**
 * Fixed English text of a result code.
 *
 * Uses the C calling convention. Safe from any thread. TVX_DescribeResult
 * gives a text for every code.
 *
 * @param code  Result code.
 * @return The text, or NULL for a code without one (the channel codes 34xx
 *         among them). The text is static and stays valid while the library
 *         is loaded; do not modify or free it.
 */
TVX_API const char* TVX_CDECL TVX_GetErrcodeDescription(int32_t code);

/* ---------------------------------------------------------------------------
 * Extension: a text for every result code
 *
 * Not part of the controller family's classic interface: an addition of
 * this library, exported on every platform.
 * ------------------------------------------------------------------------- */

/**
 * A text for any result code, for showing to people.
 *
 * The library's own codes get their meaning here (20001 is "Link is not
 * open." where the classic table says "Unknown error."), other codes the
 * text of TVX_GetErrcodeDescription, and codes without either a text naming
 * their family (a Modbus exception, a PCI link failure, a library error, an
 * operating-system failure, or else a status reported by the controller).
 * Safe from any thread.
 *
 * @param code  Result code.
 * @return The text; never NULL. It is static and stays valid while the
 *         library is loaded; do not modify or free it.
 */
TVX_API const char* TVX_STDCALL TVX_DescribeResult(int32_t code);

/**
 * The same as TVX_DescribeResult; kept for programs written against earlier
 * versions of this header.
 *
 * @param code  Result code.
 * @return The text of TVX_DescribeResult; never NULL.
 */
static inline const char* tvx_describe_result(int32_t code) { return TVX_DescribeResult(code); }

/* ---------------------------------------------------------------------------
 * Archive cipher, HMI file transforms and string hash
 * ------------------------------------------------------------------------- */

/**
 * Encodes an HMI file image in place.
 *
 * Every byte b becomes (2 - b) mod 256, so TVX_HmiFileDecode undoes it (and
 * so does this function itself). Thread-safe (no shared state).
 *
 * @param buffer  The image, `length` bytes, changed in place. May be NULL
 *                only with length 0.
 * @param length  Size of the image in bytes; 0 returns 0 without touching
 *                anything.
 * @retval TVX_OK (0)                   The image is encoded.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `buffer` is NULL with a non-zero
 *                                      length.
 */
TVX_API int32_t TVX_STDCALL TVX_HmiFileEncode(uint8_t* buffer, uint32_t length);
/**
 * Decodes an HMI file image in place; the same transform as
 * TVX_HmiFileEncode, which it undoes.
 *
 * @param buffer  The image, `length` bytes, changed in place. May be NULL
 *                only with length 0.
 * @param length  Size of the image in bytes; 0 returns 0 without touching
 *                anything.
 * @retval TVX_OK (0)                   The image is decoded.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `buffer` is NULL with a non-zero
 *                                      length.
 */
TVX_API int32_t TVX_STDCALL TVX_HmiFileDecode(uint8_t* buffer, uint32_t length);
/**
 * Computes the 32-bit string hash of a byte range.
 *
 * h = h * 5 + byte for each byte, taken as signed, wrapping: "abc" gives
 * 3014, no bytes give 0. Thread-safe (no shared state).
 *
 * @param data     The bytes. May be NULL only with length 0.
 * @param length   Number of bytes.
 * @param hashOut  Receives the hash. Must not be NULL.
 * @retval TVX_OK (0)                   The hash is stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `hashOut` is NULL, or `data` is NULL
 *                                      with a non-zero length.
 */
TVX_API int32_t TVX_STDCALL TVX_CalStringHash(const uint8_t* data, uint32_t length, int32_t* hashOut);

/* ---------------------------------------------------------------------------
 * Files, logs, firmware images and flash tables
 *
 * Transfers move in numbered blocks, each its own transaction: other
 * threads' requests on the same handle may run between blocks. Progress of
 * the transfer in flight is readable with TVX_GetProgress from any thread.
 * ------------------------------------------------------------------------- */

/**
 * @defgroup transfer_results Results of block transfers
 *
 * Every block transfer runs transactions, so it may give any result of
 * @ref link_results. Besides those:
 *
 * Downloads (a file or a buffer sent to the controller):
 *  - TVX_ERR_BAD_ARGUMENT (20002): no data, or a length of 0 (an empty
 *    file included);
 *  - TVX_ERR_NAME_TOO_LONG (20013): a controller name longer than 1024
 *    characters;
 *  - TVX_ERR_REPLY_LENGTH (20100): the controller's answer to the start
 *    allows no block of 32 bytes;
 *  - 213: the controller refused a block and the transfer could not be
 *    resumed (the controller no longer holds it, or three resumptions in a
 *    row brought no progress);
 *  - the controller's status when it refuses the start.
 *
 * Downloads of a local file, checked before anything is sent:
 *  - 20002: a NULL path;
 *  - TVX_ERR_FILE_NOT_FOUND (20014): the file is missing or cannot be
 *    opened;
 *  - TVX_ERR_FILE (20011): the path names a directory or a device;
 *  - TVX_ERR_OS (20006): the file cannot be read whole, or memory for it
 *    runs out;
 *  - TVX_ERR_FILE_LENGTH (20012): a file of 4 GiB or more.
 *
 * Uploads (controller data fetched to the host):
 *  - 20013: a controller name longer than 1024 characters;
 *  - 20100: the answer to the start carries no length, or a block carries
 *    less than it announces, or nothing without being the last;
 *  - TVX_ERR_BUFFER_TOO_SMALL (20030): more data than room. Into memory
 *    the buffer is filled and the received count is the capacity; into a
 *    file it means more than the controller announced, and nothing is
 *    written;
 *  - 20012: the blocks brought another amount than the controller
 *    announced. Into memory the received count says how much came; into a
 *    file what came is written.
 *
 * Uploads into memory also give 20002 for a NULL buffer or a capacity of
 * 0. Uploads into a file also give 20002 for a NULL path, 20014 when the
 * file cannot be created (a directory included) and 20006 when memory for
 * the announced length runs out or the write fails.
 */

/**
 * Downloads a local file, read whole, to the controller's file system.
 *
 * @param handle         an open handle (20009 when invalid or closed).
 * @param localPath      the file to send; an empty file gives 20002.
 * @param controllerName its name on the controller, at most 1024
 *                       characters; NULL sends an empty name.
 * @retval TVX_OK (0) the whole file was acknowledged.
 * @retval others the download codes of @ref transfer_results, from a local
 *         file.
 */
TVX_API int32_t TVX_STDCALL TVX_DownFile(TVX_HANDLE handle, const char* localPath, const char* controllerName);
/**
 * Downloads a buffer as a file of the controller's file system.
 *
 * @param handle         an open handle (20009 when invalid or closed).
 * @param data           the file's bytes; NULL gives 20002.
 * @param length         bytes at `data`; 0 gives 20002.
 * @param controllerName its name on the controller, at most 1024
 *                       characters; NULL sends an empty name.
 * @retval TVX_OK (0) the whole buffer was acknowledged.
 * @retval others the download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_DownMemFile(TVX_HANDLE handle, const void* data, uint32_t length,
                                            const char* controllerName);
/**
 * Uploads a controller file into a local file (created or replaced).
 *
 * @param handle         an open handle (20009 when invalid or closed).
 * @param localPath      the file to write.
 * @param controllerName the controller's file, at most 1024 characters.
 * @retval TVX_OK (0) the file as long as the controller announced it.
 * @retval others the upload codes of @ref transfer_results, into a file.
 */
TVX_API int32_t TVX_STDCALL TVX_UpFile(TVX_HANDLE handle, const char* localPath, const char* controllerName);
/**
 * Uploads a controller file into a buffer. A file larger than the buffer
 * gives 20030 with the buffer filled.
 *
 * @param handle         an open handle (20009 when invalid or closed).
 * @param buffer         receives the file's bytes (no terminator); NULL
 *                       gives 20002.
 * @param capacity       bytes at `buffer`; 0 gives 20002.
 * @param controllerName the controller's file, at most 1024 characters.
 * @param received       optional: the bytes stored, written on success,
 *                       20030 and 20012.
 * @retval TVX_OK (0) the whole file is in the buffer.
 * @retval others the upload codes of @ref transfer_results, into memory.
 */
TVX_API int32_t TVX_STDCALL TVX_UpFileToMem(TVX_HANDLE handle, void* buffer, uint32_t capacity,
                                            const char* controllerName, uint32_t* received);
/**
 * Uploads the controller's log into a local file (created or replaced).
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param localPath the file to write.
 * @retval TVX_OK (0) the whole log was written.
 * @retval others the upload codes of @ref transfer_results, into a file.
 */
TVX_API int32_t TVX_STDCALL TVX_UpLog(TVX_HANDLE handle, const char* localPath);
/**
 * Uploads the controller's log into a buffer.
 *
 * @param handle   an open handle (20009 when invalid or closed).
 * @param buffer   receives the log's bytes (no terminator); NULL gives
 *                 20002.
 * @param capacity bytes at `buffer`; 0 gives 20002.
 * @param received optional: the bytes stored, written on success, 20030
 *                 and 20012.
 * @retval TVX_OK (0) the whole log is in the buffer.
 * @retval others the upload codes of @ref transfer_results, into memory.
 */
TVX_API int32_t TVX_STDCALL TVX_UpLogToMem(TVX_HANDLE handle, void* buffer, uint32_t capacity, uint32_t* received);
/**
 * Uploads a firmware file of the controller into a local file.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param localPath the file to write (created or replaced).
 * @param name      the controller's firmware file, at most 1024 characters;
 *                  NULL sends an empty name.
 * @retval TVX_OK (0) the file as long as the controller announced it.
 * @retval others the upload codes of @ref transfer_results, into a file.
 */
TVX_API int32_t TVX_STDCALL TVX_UpFirmFile(TVX_HANDLE handle, const char* localPath, const char* name);
/**
 * Uploads a firmware file of the controller into a buffer.
 *
 * @param handle   an open handle (20009 when invalid or closed).
 * @param buffer   receives the bytes; NULL gives 20002.
 * @param capacity bytes at `buffer`; 0 gives 20002.
 * @param name     the controller's firmware file, at most 1024 characters;
 *                 NULL sends an empty name.
 * @param received optional: the bytes stored, written on success, 20030
 *                 and 20012.
 * @retval TVX_OK (0) the whole file is in the buffer.
 * @retval others the upload codes of @ref transfer_results, into memory.
 */
TVX_API int32_t TVX_STDCALL TVX_UpFirmToMem(TVX_HANDLE handle, void* buffer, uint32_t capacity, const char* name,
                                            uint32_t* received);
/**
 * Uploads a file of the three-file store into a local file.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param localPath the file to write (created or replaced).
 * @param name      the store's file, at most 1024 characters; NULL sends an
 *                  empty name.
 * @retval TVX_OK (0) the file as long as the controller announced it.
 * @retval others the upload codes of @ref transfer_results, into a file.
 */
TVX_API int32_t TVX_STDCALL TVX_Up3File(TVX_HANDLE handle, const char* localPath, const char* name);
/**
 * Uploads a file of the three-file store into a buffer.
 *
 * @param handle   an open handle (20009 when invalid or closed).
 * @param buffer   receives the bytes; NULL gives 20002.
 * @param capacity bytes at `buffer`; 0 gives 20002.
 * @param name     the store's file, at most 1024 characters; NULL sends an
 *                 empty name.
 * @param received optional: the bytes stored, written on success, 20030
 *                 and 20012.
 * @retval TVX_OK (0) the whole file is in the buffer.
 * @retval others the upload codes of @ref transfer_results, into memory.
 */
TVX_API int32_t TVX_STDCALL TVX_Up3FileToMem(TVX_HANDLE handle, void* buffer, uint32_t capacity, const char* name,
                                             uint32_t* received);
/**
 * First entry of the controller's directory listing; TVX_FindNextFile
 * gives the following ones. A reply that carries no name stores an empty
 * name.
 *
 * @param handle  an open handle (20009 when invalid or closed).
 * @param nameOut receives the entry's name, terminated; must hold 2035
 *                bytes (the longest name a reply can carry and its
 *                terminator). NULL gives 20002.
 * @param sizeOut optional: the entry's size in bytes.
 * @retval TVX_OK (0) an entry was stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `nameOut` is NULL.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the reply is shorter than an entry.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_FindFirstFile(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
/**
 * Next entry of the directory listing begun by TVX_FindFirstFile.
 *
 * @param handle  an open handle (20009 when invalid or closed).
 * @param nameOut receives the entry's name, terminated; must hold 2035
 *                bytes. NULL gives 20002.
 * @param sizeOut optional: the entry's size in bytes.
 * @retval TVX_OK (0) an entry was stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `nameOut` is NULL.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the reply is shorter than an entry.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_FindNextFile(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
/**
 * Deletes a file of the controller's file system.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param name   the file, sent without its terminator; at most 2044
 *               characters.
 * @retval TVX_OK (0) the controller deleted it.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `name` is NULL or longer than 2044
 *         characters.
 * @retval others @ref link_results (a missing file is the controller's
 *         status).
 */
TVX_API int32_t TVX_STDCALL TVX_DeleteFile(TVX_HANDLE handle, const char* name);
/**
 * A state text of the controller's file system.
 *
 * @param handle   an open handle (20009 when invalid or closed).
 * @param selector which state; its meaning is the controller's.
 * @param out      optional: 26 bytes, no terminator when the text fills
 *                 them.
 * @retval TVX_OK (0) the text was stored.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the reply carries no data.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetFileState(TVX_HANDLE handle, uint16_t selector, char* out);
/**
 * Writes a flash table of floats (host byte order), as one block
 * download named by the table number in decimal.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param table  the table number.
 * @param count  values at `values`, at most 0x3FFFFFFF; 0 gives 20002.
 * @param values the floats; NULL gives 20002.
 * @retval TVX_OK (0) the table was acknowledged.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `count` above 0x3FFFFFFF.
 * @retval others the download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_FlashWritef(TVX_HANDLE handle, uint16_t table, uint32_t count, const float* values);
/**
 * Reads a flash table of floats.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param table     the table number.
 * @param count     room at `values` in floats, at most 0x3FFFFFFF; 0 gives
 *                  20002.
 * @param values    receives the floats; NULL gives 20002.
 * @param readCount optional: the count of whole values read, also with
 *                  20030 (buffer smaller than the table).
 * @retval TVX_OK (0) the whole table was read.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `count` above 0x3FFFFFFF.
 * @retval others the upload codes of @ref transfer_results, into memory.
 */
TVX_API int32_t TVX_STDCALL TVX_FlashReadf(TVX_HANDLE handle, uint16_t table, uint32_t count, float* values,
                                           uint32_t* readCount);

/* ---------------------------------------------------------------------------
 * Firmware update
 *
 * A firmware image file is a 32-byte header and its payload. Every local
 * check of an image is made before anything is sent: the header must
 * declare exactly the bytes after it (else 20018); the type must be known
 * and the payload not empty (20018); an enciphered payload must be whole
 * 32-byte blocks (20018); a sectioned image (type 2234) needs at least one
 * section, non-empty sections and descriptors inside its table (20018),
 * terminated names of at most 1023 characters (20013), section lengths
 * that add up to the payload (20012) and matching checksums (20011). The
 * image is read whole into memory and freed before return.
 * ------------------------------------------------------------------------- */

/**
 * Checks an image against the controller without downloading it: the
 * header must declare exactly the bytes after it, then the controller
 * judges the header; a controller that cannot judge it (3205) has its
 * hardware identifier compared with the image's.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param path   the image file; NULL gives 20002.
 * @retval TVX_OK (0) the controller (or the identifier) accepts the image.
 * @retval TVX_ERR_FIRMWARE_IMAGE (20018) shorter than the header, or a
 *         payload length other than the bytes after it.
 * @retval TVX_ERR_FIRMWARE_MISMATCH (20020) the identifiers differ.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the identifier's reply carries no
 *         data.
 * @retval others 20014, 20011 (a directory or a device) and 20006 for the
 *         file, the controller's judgement as its status, and
 *         @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_CheckFirmWare(TVX_HANDLE handle, const char* path);
/**
 * Checks, prepares and downloads an image. A sectioned image goes section
 * by section with progress over all of them; a failure during a section
 * leaves the sections already sent on the controller.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param path   the image file; NULL gives 20002.
 * @retval TVX_OK (0) the whole image was acknowledged.
 * @retval TVX_ERR_FIRMWARE_IMAGE (20018) a failed check of the image (see
 *         above).
 * @retval TVX_ERR_NAME_TOO_LONG (20013) a section name not terminated or
 *         longer than 1023 characters.
 * @retval TVX_ERR_FILE_LENGTH (20012) section lengths that do not add up.
 * @retval TVX_ERR_FILE (20011) a section checksum that does not match.
 * @retval TVX_ERR_CIPHER_KEY (3212) the built-in cipher could not be set up.
 * @retval TVX_ERR_FIRMWARE_MISMATCH (20020) the image is built for another
 *         hardware identifier.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the identifier's reply carries no
 *         data.
 * @retval others 20014, 20011 (a directory or a device) and 20006 for the
 *         file, and the download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_DownFirmWare(TVX_HANDLE handle, const char* path);
/**
 * Starts the controller's hardware test.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_StartHardwareTest(TVX_HANDLE handle);
/**
 * Starts the application firmware.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_JumpApp(TVX_HANDLE handle);
/**
 * Enters the boot loader.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_JumpNbios(TVX_HANDLE handle);

/* ---------------------------------------------------------------------------
 * The three-file store and its RAM download
 *
 * A store of program files apart from the file system. Names are sent
 * without their terminator (at most 2040 characters for the check, 2044
 * for deletion; longer gives 20002).
 * ------------------------------------------------------------------------- */

/**
 * Whether a file of the store exists, and its value.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param name   the file, at most 2040 characters.
 * @param exists required: 0 for a missing file (then `value` is left
 *               alone), 1 otherwise.
 * @param value  optional: the controller's value for an existing file.
 * @retval TVX_OK (0) `exists` (and `value`) were written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `exists` or `name` is NULL, or the
 *         name is longer than 2040 characters.
 * @retval TVX_ERR_REPLY_LENGTH (20100) an answer that is not exactly 4
 *         bytes.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_Check3File(TVX_HANDLE handle, const char* name, uint8_t* exists, uint32_t* value);
/**
 * First entry of the store's listing, as TVX_FindFirstFile.
 *
 * @param handle  an open handle (20009 when invalid or closed).
 * @param nameOut receives the name, terminated; must hold 2035 bytes. NULL
 *                gives 20002.
 * @param sizeOut optional: the entry's size in bytes.
 * @retval TVX_OK (0) an entry was stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `nameOut` is NULL.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the reply is shorter than an entry.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_FindFirst3File(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
/**
 * Next entry of the store's listing.
 *
 * @param handle  an open handle (20009 when invalid or closed).
 * @param nameOut receives the name, terminated; must hold 2035 bytes. NULL
 *                gives 20002.
 * @param sizeOut optional: the entry's size in bytes.
 * @retval TVX_OK (0) an entry was stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `nameOut` is NULL.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the reply is shorter than an entry.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_FindNext3File(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
/**
 * The store's current file.
 *
 * @param handle  an open handle (20009 when invalid or closed).
 * @param nameOut receives the name, terminated; must hold 2035 bytes. NULL
 *                gives 20002.
 * @param sizeOut optional: its size in bytes.
 * @retval TVX_OK (0) the name was stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `nameOut` is NULL.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the reply is shorter than an entry.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetCur3File(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
/**
 * Deletes a file of the store.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param name   the file, at most 2044 characters.
 * @retval TVX_OK (0) the controller deleted it.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `name` is NULL or longer than 2044
 *         characters.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_Delete3File(TVX_HANDLE handle, const char* name);
/**
 * Deletes every file of the store.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_RemoveAll3Files(TVX_HANDLE handle);
/**
 * Downloads a local file, read whole, into the store.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param localPath the file to send; an empty file gives 20002.
 * @param name      its name in the store, at most 1024 characters; NULL
 *                  sends an empty name.
 * @retval TVX_OK (0) the whole file was acknowledged.
 * @retval others the download codes of @ref transfer_results, from a local
 *         file.
 */
TVX_API int32_t TVX_STDCALL TVX_Down3File(TVX_HANDLE handle, const char* localPath, const char* name);
/**
 * Downloads a buffer as a file of the store.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param data   the file's bytes; NULL gives 20002.
 * @param length bytes at `data`; 0 gives 20002.
 * @param name   its name in the store, at most 1024 characters; NULL sends
 *               an empty name.
 * @retval TVX_OK (0) the whole buffer was acknowledged.
 * @retval others the download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_DownMem3File(TVX_HANDLE handle, const void* data, uint32_t length, const char* name);
/**
 * Whole-file download to RAM under `name` cut to 127 characters, the byte
 * 0x13 and `number` in decimal.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param localPath the file to send, read whole; an empty file gives
 *                  20002.
 * @param name      the file's name; NULL gives 20002.
 * @param number    the number joined to the name.
 * @retval TVX_OK (0) the whole file was acknowledged.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `name` is NULL.
 * @retval others the download codes of @ref transfer_results, from a local
 *         file.
 */
TVX_API int32_t TVX_STDCALL TVX_Down3FileRam(TVX_HANDLE handle, const char* localPath, const char* name, int32_t number);
/**
 * As TVX_Down3FileRam for a buffer.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param data   the file's bytes; NULL gives 20002.
 * @param length bytes at `data`; 0 gives 20002.
 * @param name   the file's name, cut to 127 characters; NULL gives 20002.
 * @param number the number joined to the name.
 * @retval TVX_OK (0) the whole buffer was acknowledged.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `name` is NULL.
 * @retval others the download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_DownMem3FileRam(TVX_HANDLE handle, const void* data, uint32_t length,
                                                const char* name, int32_t number);
/**
 * The RAM space left for downloads.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param value  sent to the controller; its meaning is the controller's.
 * @param space  optional: the remaining space.
 * @retval TVX_OK (0) the controller answered.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the reply carries no data.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_3FileRamGetRemainSpace(TVX_HANDLE handle, uint16_t value, uint32_t* space);
/**
 * Begins a RAM download in parts: begin, any number of parts
 * (TVX_3FileRamDownPart), end (TVX_3FileRamDownEnd).
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param fileNumber the file the parts belong to.
 * @param announced  the bytes the parts will bring, told the controller.
 * @param name       the file's name, at most 1024 characters; NULL for
 *                   none.
 * @param out        optional: the controller's answer value of the start.
 * @retval TVX_OK (0) the controller accepted the start.
 * @retval TVX_ERR_NAME_TOO_LONG (20013) `name` longer than 1024 characters.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_3FileRamDownBegin(TVX_HANDLE handle, uint16_t fileNumber, uint32_t announced,
                                                  const char* name, uint32_t* out);
/**
 * Sends one part of a RAM download in blocks numbered from 1. The first
 * block's answer sets the block size (at most 2016 bytes) and the window;
 * a block the controller refuses is resumed from the position it reports.
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param fileNumber the file of the begin.
 * @param data       the part's bytes; NULL gives 20002.
 * @param length     bytes at `data`; 0 gives 20002.
 * @param out        optional: the controller's answer value of the last
 *                   acknowledged block.
 * @retval TVX_OK (0) the whole part was acknowledged.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `data` is NULL or `length` is 0.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the controller asks for empty
 *         blocks.
 * @retval 213 a refused block that could not be resumed, as for
 *         downloads in @ref transfer_results.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_3FileRamDownPart(TVX_HANDLE handle, uint16_t fileNumber, const void* data,
                                                 uint32_t length, uint32_t* out);
/**
 * Ends a RAM download in parts.
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param fileNumber the file of the begin.
 * @retval TVX_OK (0) the controller accepted the end.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_3FileRamDownEnd(TVX_HANDLE handle, uint16_t fileNumber);
/**
 * Runs what was downloaded to RAM.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param first  sent as 16 bits; its meaning is the controller's.
 * @param second sent as 16 bits; its meaning is the controller's.
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_Run3FileRam(TVX_HANDLE handle, uint16_t first, uint16_t second);

/* ---------------------------------------------------------------------------
 * Projects, program archives and library files
 *
 * Paths are file-system paths; '\' and '/' both separate directories. A
 * path built from a directory and a member name may hold 259 characters;
 * longer ones give 20013. None of the functions without a handle touches
 * shared state other than the built-in cipher, so they may run on any
 * number of threads at once; the ones with a handle serialise their
 * transactions on the handle as every request does.
 * ------------------------------------------------------------------------- */

/* Project record: a 64-byte header and 36 bytes per file. */
#define TVX_PROJECT_HEADER_BYTES 64
#define TVX_PROJECT_ENTRY_BYTES 36
#define TVX_PROJECT_MAX_ENTRIES 1000
#define TVX_PROJECT_RECORD_MAX_BYTES (64 + 36 * 1000) /* 36064 */
#define TVX_PATH_BYTES 260 /* directory outputs */

/**
 * @defgroup member_file_results Results of reading a project's files
 *
 * The functions that read the member files a project record names (to
 * fill in slot sizes and hashes, or to build an archive) give, besides
 * their own results:
 *  - TVX_ERR_BAD_ARGUMENT (20002): a NULL record;
 *  - TVX_ERR_FILE (20011): a record without the project magic, a member
 *    whose extension does not suit its type, a member path naming a
 *    directory or a device, a picture that cannot be decoded, or a
 *    compiled PLC program without its magic or with a section past its
 *    end;
 *  - TVX_ERR_NAME_TOO_LONG (20013): a member name that fills its 26-byte
 *    field, or a member path longer than 259 characters;
 *  - TVX_ERR_FILE_NOT_FOUND (20014): a member file that is missing or
 *    cannot be opened;
 *  - TVX_ERR_FILE_LENGTH (20012): a compiled PLC program shorter than its
 *    header;
 *  - TVX_ERR_LIBRARY_FILE (20015): a library member that is no library
 *    file (not whole 32-byte blocks, no library magic, or no content);
 *  - TVX_ERR_FILE_16 (20016): a compiled PLC program marked unusable;
 *  - TVX_ERR_OS (20006): a member that cannot be read, or memory running
 *    out;
 *  - TVX_ERR_CIPHER_KEY (3212): the built-in cipher could not be set up.
 *
 * The project record files that TVX_MakeRealNpj, TVX_MakeNar,
 * TVX_MakeNarAndDown and TVX_MakeNarAndRamRun read (a record as stored on
 * disk, 64 + 36 x n bytes) give 20002 for a NULL path, 20014 when missing,
 * 20011 for a directory or a record without the project magic, 20006 when
 * they cannot be read, 20012 for a length other than 64 + 36 x n, and
 * 20013 for a directory part of 260 characters or more.
 */

/**
 * One-entry project record for a .bas or .plc program file.
 *
 * @param record       receives the record; takes 100 bytes. NULL gives
 *                     20002.
 * @param directoryOut optional: 260 bytes; receives the path up to its last
 *                     separator, terminated.
 * @param filePath     the program file; its name must have at most 25
 *                     characters.
 * @retval TVX_OK (0) the record (and directory) were written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) no record, a NULL or empty path.
 * @retval TVX_ERR_FILE (20011) an extension other than .bas or .plc.
 * @retval TVX_ERR_NAME_TOO_LONG (20013) a name of 26 characters or more,
 *         or a directory of 260 or more (nothing written then).
 */
TVX_API int32_t TVX_STDCALL TVX_MakeOneFileNpj(uint8_t* record, char* directoryOut, const char* filePath);
/**
 * Project record from a project text file (.npj): the count of
 * [Controller] Files, then FileN and AutoRunN of [FileList] per entry, the
 * type taken from the extension. An entry without a name gets an empty
 * name and type 255. A missing project text file gives a record with no
 * entries.
 *
 * @param record       receives the record: 64 + 36 x n bytes, at most
 *                     TVX_PROJECT_RECORD_MAX_BYTES (n is cut to 1000).
 *                     NULL gives 20002.
 * @param directoryOut optional: 260 bytes; receives the project file's
 *                     directory up to its last separator, terminated.
 * @param projectPath  the .npj file.
 * @retval TVX_OK (0) the record was written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) no record, a NULL or empty path.
 * @retval TVX_ERR_FILE (20011) a path not ending in .npj.
 * @retval TVX_ERR_NAME_TOO_LONG (20013) a project or entry name of 26
 *         characters or more, a directory of 260 or more, or an entry path
 *         longer than 259 characters.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeMultiFileNpj(uint8_t* record, char* directoryOut, const char* projectPath);
/**
 * Fills every entry's slot size and hash from the files of the project's
 * directory and copies the record (64 + 36 x n bytes) into `buffer`.
 *
 * @param projectPath a project record file; its members are read from its
 *                    directory.
 * @param buffer      receives the record; NULL gives 20002 (after the
 *                    members were read).
 * @param bufferSize  bytes at `buffer`; smaller than the record gives
 *                    20030 and copies nothing.
 * @retval TVX_OK (0) the record was copied.
 * @retval TVX_ERR_BUFFER_TOO_SMALL (20030) `bufferSize` is smaller than
 *         the record.
 * @retval others @ref member_file_results, for the record file and its
 *         members.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeRealNpj(const char* projectPath, uint8_t* buffer, uint32_t bufferSize);
/**
 * The same in place on the caller's record.
 *
 * @param directory the members' directory, ending with a separator; NULL
 *                  or "" for the current directory.
 * @param record    the record (64 + 36 x n bytes), updated in place; NULL
 *                  gives 20002.
 * @retval TVX_OK (0) every entry was filled.
 * @retval others @ref member_file_results; entries before a failing one
 *         stay filled.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeRealNpjMem(const char* directory, uint8_t* record);

/* Program archives. `password` may be NULL or "" (no password); it is
 * digested (MD5) after ASCII letters are turned to upper case. `word` is
 * stored unchanged in the archive header. The builders overwrite the slot
 * sizes of the caller's record with their estimates. The archive is built
 * in memory (about the size of the member files) and freed before return. */

/**
 * Builds an enciphered archive file from a project record file.
 *
 * @param projectPath a project record file; its members are read from its
 *                    directory.
 * @param archivePath the archive to write (created or replaced); NULL
 *                    gives 20002.
 * @param password    NULL or "" for none.
 * @param word        stored unchanged in the archive header.
 * @retval TVX_OK (0) the archive was written.
 * @retval TVX_ERR_FILE_NOT_FOUND (20014) the archive cannot be created (a
 *         directory included).
 * @retval TVX_ERR_OS (20006) the archive cannot be written whole, or
 *         memory runs out.
 * @retval others @ref member_file_results, for the record file and its
 *         members.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeNar(const char* projectPath, const char* archivePath, const char* password,
                                        uint32_t word);
/**
 * Builds an enciphered archive file from a project record in memory.
 *
 * @param record      the project record; its slot sizes are overwritten
 *                    with the builder's estimates. NULL gives 20002.
 * @param directory   the members' directory, ending with a separator; NULL
 *                    or "" for the current directory.
 * @param archivePath the archive to write (created or replaced); NULL
 *                    gives 20002.
 * @param password    NULL or "" for none.
 * @param word        stored unchanged in the archive header.
 * @retval TVX_OK (0) the archive was written.
 * @retval TVX_ERR_FILE_NOT_FOUND (20014) the archive cannot be created (a
 *         directory included).
 * @retval TVX_ERR_OS (20006) the archive cannot be written whole, or
 *         memory runs out.
 * @retval others @ref member_file_results.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeNar2(uint8_t* record, const char* directory, const char* archivePath,
                                         const char* password, uint32_t word);
/**
 * Builds an archive (mirrored form) from a project record file and
 * downloads it for storing (kind 100).
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param projectPath a project record file; its members are read from its
 *                    directory.
 * @param password    NULL or "" for none.
 * @param word        stored unchanged in the archive header.
 * @retval TVX_OK (0) the whole archive was acknowledged.
 * @retval others @ref member_file_results (nothing is sent then), and the
 *         download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeNarAndDown(TVX_HANDLE handle, const char* projectPath, const char* password,
                                               uint32_t word);
/**
 * Builds an archive (mirrored form) from a project record in memory and
 * downloads it for storing (kind 100).
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param record    the project record; its slot sizes are overwritten.
 *                  NULL gives 20002.
 * @param directory the members' directory, ending with a separator; NULL
 *                  or "" for the current directory.
 * @param password  NULL or "" for none.
 * @param word      stored unchanged in the archive header.
 * @retval TVX_OK (0) the whole archive was acknowledged.
 * @retval others @ref member_file_results (nothing is sent then), and the
 *         download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeNarAndDown2(TVX_HANDLE handle, uint8_t* record, const char* directory,
                                                const char* password, uint32_t word);
/**
 * Builds an archive (mirrored form) from a project record file and
 * downloads it for running from RAM at once (kind 102).
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param projectPath a project record file; its members are read from its
 *                    directory.
 * @param password    NULL or "" for none.
 * @param word        stored unchanged in the archive header.
 * @retval TVX_OK (0) the whole archive was acknowledged.
 * @retval others @ref member_file_results (nothing is sent then), and the
 *         download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeNarAndRamRun(TVX_HANDLE handle, const char* projectPath, const char* password,
                                                 uint32_t word);
/**
 * Builds an archive (mirrored form) from a project record in memory and
 * downloads it for running from RAM at once (kind 102).
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param record    the project record; its slot sizes are overwritten.
 *                  NULL gives 20002.
 * @param directory the members' directory, ending with a separator; NULL
 *                  or "" for the current directory.
 * @param password  NULL or "" for none.
 * @param word      stored unchanged in the archive header.
 * @retval TVX_OK (0) the whole archive was acknowledged.
 * @retval others @ref member_file_results (nothing is sent then), and the
 *         download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeNarAndRamRun2(TVX_HANDLE handle, uint8_t* record, const char* directory,
                                                  const char* password, uint32_t word);
/**
 * Downloads an archive file unchanged, read whole.
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param archivePath the archive file.
 * @param name        the name to store it under, at most 1024 characters;
 *                    may be NULL.
 * @retval TVX_OK (0) the whole archive was acknowledged.
 * @retval others the download codes of @ref transfer_results, from a local
 *         file.
 */
TVX_API int32_t TVX_STDCALL TVX_DownNar(TVX_HANDLE handle, const char* archivePath, const char* name);
/**
 * Downloads an archive held in memory unchanged.
 *
 * @param handle  an open handle (20009 when invalid or closed).
 * @param archive the archive's bytes; NULL gives 20002.
 * @param length  bytes at `archive`; 0 gives 20002.
 * @param name    the name to store it under, at most 1024 characters; may
 *                be NULL.
 * @retval TVX_OK (0) the whole archive was acknowledged.
 * @retval others the download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_DownMemNar(TVX_HANDLE handle, const void* archive, uint32_t length, const char* name);
/**
 * Downloads an enciphered archive file to RAM and runs it (sent in the
 * mirrored form); any other file gives 20011 and sends nothing.
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param archivePath the archive file; NULL gives 20014.
 * @retval TVX_OK (0) the whole archive was acknowledged.
 * @retval TVX_ERR_FILE (20011) a file under 32 bytes or not enciphered.
 * @retval TVX_ERR_CIPHER_KEY (3212) the built-in cipher could not be set up.
 * @retval others 20014, 20011 (a directory or a device), 20006 and 20012
 *         (4 GiB or more) for the file, and the download codes of
 *         @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_DownNarToRamAndRun(TVX_HANDLE handle, const char* archivePath);
/**
 * As TVX_DownNarToRamAndRun for a buffer in either form: a mirrored (or
 * under 32-byte) buffer is sent unchanged, an enciphered one converted
 * and sent rounded to 32 bytes.
 *
 * @param handle  an open handle (20009 when invalid or closed).
 * @param archive the archive's bytes, left unchanged; NULL gives 20002.
 * @param length  bytes at `archive`; 0 gives 20002.
 * @retval TVX_OK (0) the whole archive was acknowledged.
 * @retval TVX_ERR_CIPHER_KEY (3212) the built-in cipher could not be set up.
 * @retval TVX_ERR_OS (20006) no memory for the converted copy.
 * @retval others the download codes of @ref transfer_results.
 */
TVX_API int32_t TVX_STDCALL TVX_DownMemNarToRamAndRun(TVX_HANDLE handle, const void* archive, uint32_t length);
/**
 * Runs the program `programName`, or resumes when it is NULL.
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param programName the program, sent without its terminator (at most
 *                    2044 characters); NULL resumes.
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a name longer than 2044
 *         characters.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_RunNarFile(TVX_HANDLE handle, const char* programName);
/**
 * Resumes the controller's programs (TVX_RunNarFile with no name).
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_Resume(TVX_HANDLE handle);
/**
 * Pauses the controller's programs.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_Pause(TVX_HANDLE handle);
/**
 * Stops the controller's programs.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_Stop(TVX_HANDLE handle);
/**
 * Uploads the controller's current project record into `buffer`
 * (TVX_PROJECT_RECORD_MAX_BYTES always suffice); 20030 when it is larger.
 *
 * @param handle         an open handle (20009 when invalid or closed).
 * @param buffer         receives the record; NULL gives 20002.
 * @param bufferSize     bytes at `buffer`; 0 gives 20002.
 * @param receivedLength optional: the bytes stored, written on success,
 *                       20030 and 20012.
 * @retval TVX_OK (0) the whole record is in the buffer.
 * @retval others the upload codes of @ref transfer_results, into memory.
 */
TVX_API int32_t TVX_STDCALL TVX_UpCurNpjToMem(TVX_HANDLE handle, void* buffer, uint32_t bufferSize,
                                              uint32_t* receivedLength);
/**
 * Not offered.
 *
 * @param handle    not used, not checked.
 * @param argument1 not used.
 * @param argument2 not used.
 * @retval TVX_ERR_NOT_SUPPORTED (3205) always.
 */
TVX_API int32_t TVX_STDCALL TVX_UpNarToProject(TVX_HANDLE handle, void* argument1, void* argument2);
/**
 * Not offered.
 *
 * @param handle    not used, not checked.
 * @param argument1 not used.
 * @param argument2 not used.
 * @retval TVX_ERR_NOT_SUPPORTED (3205) always.
 */
TVX_API int32_t TVX_STDCALL TVX_UpNar(TVX_HANDLE handle, void* argument1, void* argument2);
/**
 * Not offered.
 *
 * @param handle    not used, not checked.
 * @param argument1 not used.
 * @param argument2 not used.
 * @retval TVX_ERR_NOT_SUPPORTED (3205) always.
 */
TVX_API int32_t TVX_STDCALL TVX_EnumSub(TVX_HANDLE handle, void* argument1, void* argument2);
/**
 * Not offered.
 *
 * @param handle    not used, not checked.
 * @param argument1 not used.
 * @param argument2 not used.
 * @param argument3 not used.
 * @param argument4 not used.
 * @retval TVX_ERR_NOT_SUPPORTED (3205) always.
 */
TVX_API int32_t TVX_STDCALL TVX_UpNarToMem(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                           void* argument4);
/**
 * Not offered.
 *
 * @param handle    not used, not checked.
 * @param argument1 not used.
 * @param argument2 not used.
 * @param argument3 not used.
 * @param argument4 not used.
 * @retval TVX_ERR_NOT_SUPPORTED (3205) always.
 */
TVX_API int32_t TVX_STDCALL TVX_EnumArray(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                          void* argument4);
/**
 * Not offered.
 *
 * @param handle    not used, not checked.
 * @param argument1 not used.
 * @param argument2 not used.
 * @param argument3 not used.
 * @param argument4 not used.
 * @retval TVX_ERR_NOT_SUPPORTED (3205) always.
 */
TVX_API int32_t TVX_STDCALL TVX_EnumLabel(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                          void* argument4);
/**
 * Not offered.
 *
 * @param handle    not used, not checked.
 * @param argument1 not used.
 * @param argument2 not used.
 * @param argument3 not used.
 * @param argument4 not used.
 * @retval TVX_ERR_NOT_SUPPORTED (3205) always.
 */
TVX_API int32_t TVX_STDCALL TVX_EnumPara(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                         void* argument4);

/**
 * Makes a library file (.nlb): a .bas source makes a BASIC library, a
 * compiled .plc program a PLC library (other extensions 20011). The whole
 * library is built before the file is created, so a failure leaves no
 * partial library behind.
 *
 * @param sourcePath  the .bas or .plc file; NULL gives 20002.
 * @param libraryPath the library to write (created or replaced); NULL
 *                    gives 20002.
 * @retval TVX_OK (0) the library was written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL path.
 * @retval TVX_ERR_FILE (20011) another extension, a source naming a
 *         directory or a device, or a .plc file without the compiled
 *         program's magic or with a section past its end.
 * @retval TVX_ERR_FILE_NOT_FOUND (20014) a missing source, or a library
 *         that cannot be created.
 * @retval TVX_ERR_FILE_LENGTH (20012) a .plc file shorter than its header.
 * @retval TVX_ERR_FILE_16 (20016) a compiled program marked unusable.
 * @retval TVX_ERR_OS (20006) a read or write failure, or memory running
 *         out.
 * @retval TVX_ERR_CIPHER_KEY (3212) the built-in cipher could not be set up.
 */
TVX_API int32_t TVX_STDCALL TVX_MakeNlib(const char* sourcePath, const char* libraryPath);
/**
 * The kind of a library file, from its first block.
 *
 * @param libraryPath the file.
 * @param typeOut     required: 2 for a BASIC library, 3 for a PLC library.
 * @retval TVX_OK (0) `typeOut` was written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `typeOut` is NULL.
 * @retval TVX_ERR_LIBRARY_FILE (20015) any file that is no library (not
 *         whole 32-byte blocks, or no library magic).
 * @retval TVX_ERR_FILE_NOT_FOUND (20014) a NULL path or a missing file.
 * @retval TVX_ERR_FILE (20011) a directory or a device.
 * @retval TVX_ERR_OS (20006) the file cannot be read.
 * @retval TVX_ERR_CIPHER_KEY (3212) the built-in cipher could not be set up.
 */
TVX_API int32_t TVX_STDCALL TVX_GetNlibFileType(const char* libraryPath, int32_t* typeOut);
/**
 * The library's global declarations ("global ..." lines of a BASIC
 * library, "LBL ..." lines for the labels of a PLC library) as text.
 *
 * @param libraryPath the library file.
 * @param textOut     receives the text, cut to fit and terminated; NULL
 *                    gives 20002.
 * @param textSize    bytes at `textOut`; nothing is written when it is 0.
 * @retval TVX_OK (0) the text was stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `textOut` is NULL.
 * @retval TVX_ERR_LIBRARY_FILE (20015) a file that is no library.
 * @retval TVX_ERR_FILE_NOT_FOUND (20014) a NULL path or a missing file.
 * @retval TVX_ERR_FILE (20011) a directory or a device.
 * @retval TVX_ERR_OS (20006) the file cannot be read, or memory runs out.
 * @retval TVX_ERR_CIPHER_KEY (3212) the built-in cipher could not be set up.
 */
TVX_API int32_t TVX_STDCALL TVX_GetNlibGlobalDefine(const char* libraryPath, char* textOut, uint32_t textSize);

/* ---------------------------------------------------------------------------
 * Arrays, variables, line moves, debugger and locks
 * ------------------------------------------------------------------------- */

/**
 * Writes values of a controller array. Array values are 32-bit floats in
 * the host's byte order. One request carries at most 48 values on a serial
 * link and 248 on Ethernet and PCI links.
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param arrayName  the array's name; the request with it must fit 2044
 *                   bytes.
 * @param startIndex the first element written.
 * @param count      values at `values`, at most 48 (serial) or 248.
 * @param values     the floats; required.
 * @retval TVX_OK (0) the controller stored the values.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL name or `values`, or a name
 *         that would not leave the request within 2044 bytes.
 * @retval TVX_ERR_OVER_LIMIT (20035) a larger `count`.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ArrayWritef(TVX_HANDLE handle, const char* arrayName, uint32_t startIndex,
                                            uint32_t count, const float* values);
/**
 * Reads `count` values of a controller array into `values`.
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param arrayName  the array; the request with it must fit 2044 bytes.
 * @param startIndex the first element read.
 * @param count      values to read, at most 48 (serial) or 248.
 * @param values     required: room for `count` floats (host byte order).
 * @retval TVX_OK (0) all `count` values were stored.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL name or `values`, or a name
 *         that would not leave the request within 2044 bytes.
 * @retval TVX_ERR_OVER_LIMIT (20035) a larger `count`.
 * @retval TVX_ERR_REPLY_LENGTH (20100) a reply carrying fewer values.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ArrayReadf(TVX_HANDLE handle, const char* arrayName, uint32_t startIndex,
                                           uint32_t count, float* values);
/**
 * Reads a global variable with the query text "?NAME" and parses the
 * answer as a number.
 *
 * @param handle  an open handle (20009 when invalid or closed).
 * @param varName the variable; it must leave the query within 63
 *                characters and contain no byte below 0x20.
 * @param value   required: receives the number.
 * @retval TVX_OK (0) `value` was written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `value` or name, a name with
 *         a byte below 0x20, or too long.
 * @retval TVX_ERR_REPLY_LENGTH (20100) an answer that is no number, or
 *         longer than 511 characters.
 * @retval others @ref link_results; controller errors are returned
 *         unchanged.
 */
TVX_API int32_t TVX_STDCALL TVX_GlobalVarGet(TVX_HANDLE handle, const char* varName, float* value);
/**
 * Reads an element of a global array with the query text "?NAME(INDEX)"
 * and parses the answer as a number.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param arrayName the array; with the index it must leave the query
 *                  within 63 characters, and contain no byte below 0x20.
 * @param index     the element, written in decimal.
 * @param value     required: receives the number.
 * @retval TVX_OK (0) `value` was written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `value` or name, a name with
 *         a byte below 0x20, or too long.
 * @retval TVX_ERR_REPLY_LENGTH (20100) an answer that is no number, or
 *         longer than 511 characters.
 * @retval others @ref link_results; controller errors are returned
 *         unchanged.
 */
TVX_API int32_t TVX_STDCALL TVX_GlobalArrayGet(TVX_HANDLE handle, const char* arrayName, int32_t index,
                                               float* value);
/**
 * Feeds `lineCount` points of a line sequence over the `axisCount` axes of
 * `axisList`. Both counts must be 0..255; their product is bounded as for
 * arrays (48 values on a serial link, 248 on the others).
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param mode      only its low byte is sent.
 * @param flags     only its low byte is sent.
 * @param lineCount points in `values`, 0..255.
 * @param axisCount axes in `axisList`, 0..255.
 * @param axisList  the axis numbers, each sent as its low byte; may be
 *                  NULL only when axisCount is 0.
 * @param values    required: lineCount x axisCount floats, point by point.
 * @param remaining optional: the controller's remaining count.
 * @retval TVX_OK (0) the controller took the points.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `values` or `axisList`, or a
 *         count above 255.
 * @retval TVX_ERR_OVER_LIMIT (20035) too many values for one request.
 * @retval TVX_ERR_REPLY_LENGTH (20100) `remaining` was asked for and the
 *         reply does not carry it.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_MultiLineN(TVX_HANDLE handle, int32_t mode, int32_t flags, uint32_t lineCount,
                                           uint32_t axisCount, const int32_t* axisList, const float* values,
                                           int32_t* remaining);
/**
 * One local variable of a program stopped in the debugger. The meaning of
 * the selectors is the controller's.
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param selector    sent as 32 bits.
 * @param subSelector sent as its low 16 bits.
 * @param index       sent as its low 16 bits.
 * @param valueOut    optional: a 32-bit value.
 * @param extraOut    optional: 8 bytes.
 * @param nameOut     optional: the name, always terminated; must have room
 *                    for 2023 bytes (the longest name a reply can carry).
 * @retval TVX_OK (0) the outputs given were written.
 * @retval TVX_ERR_REPLY_LENGTH (20100) an output was asked for and the
 *         reply carries no data.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_EnumLocal(TVX_HANDLE handle, int32_t selector, uint32_t subSelector, uint32_t index,
                                          int32_t* valueOut, uint8_t* extraOut, char* nameOut);
/**
 * Not offered.
 *
 * @param handle    not used, not checked.
 * @param argument1 not used.
 * @param argument2 not used.
 * @param argument3 not used.
 * @param argument4 not used.
 * @param argument5 not used.
 * @retval TVX_ERR_NOT_SUPPORTED (3205) always.
 */
TVX_API int32_t TVX_STDCALL TVX_ModifyLocal(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                            void* argument4, void* argument5);
/**
 * Not offered (the same entry point as TVX_ModifyLocal).
 *
 * @param handle    not used, not checked.
 * @param argument1 not used.
 * @param argument2 not used.
 * @param argument3 not used.
 * @param argument4 not used.
 * @param argument5 not used.
 * @retval TVX_ERR_NOT_SUPPORTED (3205) always.
 */
TVX_API int32_t TVX_STDCALL TVX_EnumVar(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                        void* argument4, void* argument5);
/**
 * Adds a breakpoint by program file name and line.
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param fileName   the program file; the request with it must fit 2044
 *                   bytes.
 * @param lineNumber the line, sent as 32 bits.
 * @param option     only its low byte is sent.
 * @retval TVX_OK (0) the controller set the breakpoint.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL name, or one that would not
 *         leave the request within 2044 bytes.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_BreakAdd(TVX_HANDLE handle, const char* fileName, uint32_t lineNumber,
                                         uint32_t option);
/**
 * Deletes a breakpoint by program file name and line.
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param fileName   the program file; the request with it must fit 2044
 *                   bytes.
 * @param lineNumber the line, sent as 32 bits.
 * @retval TVX_OK (0) the controller deleted the breakpoint.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL name, or one that would not
 *         leave the request within 2044 bytes.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_BreakDel(TVX_HANDLE handle, const char* fileName, uint32_t lineNumber);
/**
 * Deletes every breakpoint.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_BreakClear(TVX_HANDLE handle);
/**
 * Single-steps the controller's program; the meaning of the arguments is
 * the controller's. Sent: `first` as 16 bits, the low bytes of `second`
 * and `third`, then `fifth` (32 bits) before the low byte of `fourth`.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param first  sent as its low 16 bits.
 * @param second sent as its low byte.
 * @param third  sent as its low byte.
 * @param fourth sent as its low byte, last.
 * @param fifth  sent as 32 bits, before `fourth`.
 * @retval TVX_OK (0) the controller accepted the step.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_StepRun(TVX_HANDLE handle, uint32_t first, uint32_t second, uint32_t third,
                                        uint32_t fourth, int32_t fifth);
/**
 * Leaves online debugging.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @retval TVX_OK (0) the controller accepted the request.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_CancelOnline(TVX_HANDLE handle);
/**
 * Asks what `name` denotes.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param name      the name, below 256 characters.
 * @param selector  sent as its low 16 bits; its meaning is the
 *                  controller's.
 * @param typeOut   required: a 16-bit type code.
 * @param secondOut optional: a 32-bit value.
 * @param thirdOut  optional: 8 bytes, written only when the controller
 *                  sent them.
 * @retval TVX_OK (0) `typeOut` (and the outputs given) were written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `name` or `typeOut`, or a
 *         name of 256 characters or more.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the reply carries no data.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_GetStringType(TVX_HANDLE handle, const char* name, uint32_t selector,
                                              uint16_t* typeOut, int32_t* secondOut, uint8_t* thirdOut);
/**
 * Drains the controller's print output into `buffer`. Pieces are fetched
 * while the controller holds more and at least 2048 bytes of room are
 * left; the rest stays on the controller for the next call.
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param buffer     required: receives the text, not terminated.
 * @param bufferSize bytes at `buffer`.
 * @param received   required: the length stored.
 * @retval TVX_OK (0) the text fetched is in the buffer.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `buffer` or `received` is NULL.
 * @retval TVX_ERR_BUFFER_TOO_SMALL (20030) a piece that does not fit:
 *         `received` is set to what was stored before it (the piece is
 *         lost).
 * @retval TVX_ERR_REPLY_LENGTH (20100) a piece without its flag byte, or
 *         longer than 2048 bytes.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ReadMessage(TVX_HANDLE handle, char* buffer, uint32_t bufferSize,
                                            uint32_t* received);
/**
 * The controller's user lock: sends "Lock(PASSWORD)" as a text command
 * without waiting for its answer; the controller keeps the password and
 * decides.
 *
 * @param handle   an open handle (20009 when invalid or closed).
 * @param password at most 15 characters, no byte below 0x20.
 * @retval TVX_OK (0) the text was sent.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL password, one longer than 15
 *         characters, or one with a byte below 0x20.
 * @retval TVX_ERR_TIME_LIMIT (20003) the controller had no room for the
 *         text within the handle's time budget.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_Lock(TVX_HANDLE handle, const char* password);
/**
 * Sends "UnLock(PASSWORD)" as a text command without waiting for its
 * answer, as TVX_Lock.
 *
 * @param handle   an open handle (20009 when invalid or closed).
 * @param password at most 15 characters, no byte below 0x20.
 * @retval TVX_OK (0) the text was sent.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL password, one longer than 15
 *         characters, or one with a byte below 0x20.
 * @retval TVX_ERR_TIME_LIMIT (20003) the controller had no room for the
 *         text within the handle's time budget.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_UnLock(TVX_HANDLE handle, const char* password);
/**
 * Takes the host-side lock of a handle, for threads that share it:
 * waits without time limit until the lock is free. The text command
 * functions take the same lock, so a thread holding it keeps other
 * threads' text commands waiting. TVX_Close also waits for it: give it
 * back (TVX_Signal_BasicV) before closing.
 *
 * @param handle an open handle.
 * @retval TVX_OK (0) the lock is held by the caller.
 * @retval TVX_ERR_INVALID_HANDLE (20009) an invalid or closed handle, also
 *         when the handle is closed while the thread waits.
 */
TVX_API int32_t TVX_STDCALL TVX_Signal_BasicP(TVX_HANDLE handle);
/**
 * Gives the host-side lock of a handle back; giving back a free lock has
 * no effect.
 *
 * @param handle an open handle.
 * @retval TVX_OK (0) the lock is free.
 * @retval TVX_ERR_INVALID_HANDLE (20009) an invalid or closed handle.
 */
TVX_API int32_t TVX_STDCALL TVX_Signal_BasicV(TVX_HANDLE handle);

/* ---------------------------------------------------------------------------
 * Extension: protocol trace
 *
 * Not part of the controller family's classic interface: an addition of
 * this library, exported on every platform. One process-wide callback
 * receives every frame the library sends and receives on any handle, as it
 * goes over the wire (the MBAP header or the RTU station and CRC
 * included), and the library's debug lines up to a level.
 *
 * Threading: the callback runs on the thread that sends (a caller's) or
 * receives the frame (a link's receive thread, or on Ethernet the caller's
 * own thread while it reads its replies itself), possibly on several threads
 * at once; it must be thread-safe, return quickly and must not call the
 * library. The event and its bytes are valid only during the call.
 *
 * Setting the environment variable TAVRIX_TRACE to a file path before the
 * library loads writes every frame to that file as a pcapng capture
 * (Ethernet frames and discovery datagrams as IPv4/UDP datagrams with their
 * real addresses and ports; serial and PCI frames with the user link type
 * 147, one interface per port, named after it). Each process adds a section
 * of its own to a capture already there, so runs one after another keep
 * every run; "%p" in the path stands for the process identifier, for
 * processes that run at the same time. A pipe whose reader takes nothing
 * for 1 second, or goes away, ends the capture (one debug line); the host
 * never receives SIGPIPE from it.
 * ------------------------------------------------------------------------- */

#define TVX_TRACE_SENT 0     /* a frame the library sent */
#define TVX_TRACE_RECEIVED 1 /* a complete frame the library received */
#define TVX_TRACE_DEBUG 2    /* a debug line; bytes is its text */

typedef struct TVX_TraceEvent {
    uint32_t kind;          /* TVX_TRACE_SENT, TVX_TRACE_RECEIVED or TVX_TRACE_DEBUG */
    uint32_t linkKind;      /* TVX_LINK_SERIAL, _ETHERNET or _PCI; 0 for debug lines */
    TVX_HANDLE handle;      /* the frame's handle; NULL for debug lines */
    uint64_t timestampNs;   /* monotonic clock, nanoseconds */
    const uint8_t* bytes;   /* the frame, or the debug line's characters */
    uint32_t length;        /* bytes in `bytes` */
    uint32_t level;         /* debug lines: the debug level in force; 0 for frames */
    uint32_t localIp;       /* Ethernet: the address sent from, host byte order */
    uint32_t remoteIp;      /* Ethernet: the controller, host byte order */
    uint16_t localPort;     /* Ethernet: the handle's own UDP port */
    uint16_t remotePort;    /* Ethernet: 502 */
    const char* port;       /* the handle's address text ("COM3", "PCI1", "a.b.c.d") */
} TVX_TraceEvent;

typedef void(TVX_CDECL* TVX_TraceCallback)(const TVX_TraceEvent* event, void* context);

/**
 * Installs the process-wide trace callback. With `debugLevel` not 0 the
 * library's debug lines reach it too, each with the debug level in force
 * (0: frames only). The function waits at most 1 second for calls of a
 * previous callback still running. The new callback is installed either
 * way. Costs one test per frame while no callback is set. A thread is
 * never cancelled inside a callback.
 *
 * @param callback   the callback; NULL removes it.
 * @param context    passed to every call of `callback`; the library does
 *                   not own it.
 * @param debugLevel 0 for frames only, else the debug lines up to that
 *                   level as well.
 * @retval TVX_OK (0) no call of a previous callback is running any more.
 * @retval TVX_ERR_TIME_LIMIT (20003) a call of the previous callback had
 *         not returned after 1 second (a callback that blocks): its
 *         context must be kept.
 */
TVX_API int32_t TVX_STDCALL TVX_SetTraceCallback(TVX_TraceCallback callback, void* context, uint32_t debugLevel);

/* ---------------------------------------------------------------------------
 * Extension: resend policy
 *
 * Not part of the controller family's classic interface: an addition of
 * this library, exported on every platform. A transaction resends its
 * request when no reply came within a wait; by default (TVX_RESEND_FIXED)
 * the first wait is the link's base wait (30 ms on Ethernet), doubling for
 * each later resend, since controllers built for that timing may take that
 * long to answer. On a fast network a lost request or reply then costs far
 * more than a round trip. TVX_RESEND_ADAPTIVE, chosen per handle, waits an
 * interval estimated from the handle's measured round trips instead: a
 * smoothed mean SRTT and variation RTTVAR as TCP keeps them, the interval
 * SRTT + max(1 us, 4 x RTTVAR) rounded up to whole milliseconds, then
 * raised to the floor and lowered to the cap the caller gives; later
 * resends double it, up to the cap. Until a round trip was measured the
 * first wait is the base wait within floor and cap.
 *
 * Round trips are measured while the adaptive policy is in force, only from
 * requests answered without a resend (a reply to a resent request cannot
 * tell which copy it answers); a return to the fixed policy keeps them.
 * Under either policy the waits of a transaction together never exceed its
 * budget (TVX_SetTimeOut), and the link's count of sends per transaction
 * stays the same.
 * ------------------------------------------------------------------------- */

#define TVX_RESEND_FIXED 0    /* the base wait, doubling (the default) */
#define TVX_RESEND_ADAPTIVE 1 /* the measured estimate within floor and cap */

/**
 * Chooses the handle's resend policy. The measured round trips are kept
 * across a change. Waits for a transaction in flight on another thread.
 *
 * @param handle  an open handle.
 * @param policy  TVX_RESEND_FIXED (the default) or TVX_RESEND_ADAPTIVE; the
 *                adaptive policy is for Ethernet links only (a serial bus
 *                takes no second request while one is answered).
 * @param floorMs adaptive: the shortest first wait, at least 1 ms. Ignored
 *                by TVX_RESEND_FIXED.
 * @param capMs   adaptive: the longest wait, from `floorMs` to 60000 ms.
 *                Ignored by TVX_RESEND_FIXED.
 * @retval TVX_OK (0) the policy is in force for the next transaction.
 * @retval TVX_ERR_INVALID_HANDLE (20009) the handle is not open, or it was
 *         closed while the call waited for a transaction in flight.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) an unknown policy, a floor of 0, a
 *         cap below the floor or above 60000, or the adaptive policy on a
 *         serial or PCI link.
 */
TVX_API int32_t TVX_STDCALL TVX_SetResendPolicy(TVX_HANDLE handle, int32_t policy, uint32_t floorMs,
                                                uint32_t capMs);
/**
 * The handle's current round-trip estimate. Waits for a transaction in
 * flight on another thread.
 *
 * @param handle      an open handle.
 * @param firstWaitMs receives the wait before the next transaction's first
 *                    resend, in milliseconds, under the policy in force.
 * @param smoothedUs  receives the smoothed round trip SRTT in microseconds
 *                    (0 until a round trip was measured).
 * @param variationUs receives its variation RTTVAR in microseconds (0 until
 *                    a round trip was measured).
 * @retval TVX_OK (0) the three values were written.
 * @retval TVX_ERR_INVALID_HANDLE (20009) the handle is not open, or it was
 *         closed while the call waited for a transaction in flight.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a pointer is NULL; nothing written.
 */
TVX_API int32_t TVX_STDCALL TVX_GetResendEstimate(TVX_HANDLE handle, uint32_t* firstWaitMs, uint32_t* smoothedUs,
                                                  uint32_t* variationUs);

/* ---------------------------------------------------------------------------
 * Remote LCD
 *
 * Mirrors a screen of the controller into a caller's 16-bit pixel buffer
 * and sends touch, key and encoder input to it. The library keeps no frame
 * buffer: the caller owns the records and the pixel buffer and passes them
 * in on every call. A refresh pass is TVX_ELcdDataCheck (or the
 * check-and-get form), the fetches, then TVX_ELcdDataGetEnd.
 *
 * The pixel buffer holds width x height elements, row after row; pixel
 * (x, y) is element y x width + x. A position packs the row in its high 16
 * bits and the column in its low 16 bits. Painting never writes outside
 * width x height elements: a chunk that would gives 20100 before the
 * offending run, and the pixels painted before it stay.
 *
 * `lcdNumber` names the controller's screen and is sent as its low 8 bits.
 * ------------------------------------------------------------------------- */

#define TVX_LCD_MAX_REGIONS 5
#define TVX_LCD_RAW_BYTES 2048
#define TVX_LCD_END_REGION 100 /* region index of the end of a refresh pass */

typedef struct TVX_LcdScreenInfo {
    int32_t screenKind;
    int32_t bitsPerPixel; /* pixel decoding needs 16 */
    int32_t width;        /* pixels; also the row length of the pixel buffer */
    int32_t height;
} TVX_LcdScreenInfo;

typedef struct TVX_LcdRegion {
    uint16_t x, y; /* top-left corner */
    uint16_t width, height;
} TVX_LcdRegion;

typedef struct TVX_LcdRegionList {
    int32_t count;
    TVX_LcdRegion regions[TVX_LCD_MAX_REGIONS];
} TVX_LcdRegionList;

/* Read by the fetches: the head from TVX_ELcdOpen, the tail from
 * TVX_ELcdDataCheck. */
typedef struct TVX_LcdScreen {
    TVX_LcdScreenInfo info;
    TVX_LcdRegionList regions;
} TVX_LcdScreen;

/* The check reply's state values, in order: data bytes 0, 2, 3, the 16-bit
 * value at 4, bytes 6, 7, 8, bit 0 and bit 1 of byte 9. Their meaning is
 * the controller's. */
typedef struct TVX_LcdCheckInfo {
    int32_t entries[9];
} TVX_LcdCheckInfo;

/* One chunk as it came: its kind (1 = encoded pixels), its byte length and
 * the encoded bytes. */
typedef struct TVX_LcdRawChunk {
    int32_t kind;
    int32_t length;
    uint8_t data[TVX_LCD_RAW_BYTES];
} TVX_LcdRawChunk;

/* Called between the fetches of a long transfer, on the caller's thread and
 * outside any transaction: it may use the library, on this handle too. */
typedef void(TVX_CDECL* TVX_LcdProgressCallback)(TVX_HANDLE handle);


/**
 * @defgroup lcd_fetch_results Results of painting LCD chunks
 *
 * The fetches that paint chunks into a pixel buffer give these results
 * besides those of @ref link_results.
 *  - TVX_ERR_CHUNK_KIND (5028): a chunk of another kind than 1 (encoded
 *    pixels);
 *  - TVX_ERR_PIXEL_DEPTH (5029): a screen record not of 16 bits per pixel;
 *  - TVX_ERR_BAD_ARGUMENT (20002): a region index of 5 or more, a region
 *    count over 5, or a width or height of 0 or less in the screen record;
 *  - TVX_ERR_REPLY_LENGTH (20100): a chunk that claims more than 2048
 *    bytes or more than the reply carries, or that would paint outside
 *    width x height (the pixels painted before it stay).
 */

/**
 * Stores the three feature values sent with every later TVX_ELcdOpen on
 * this handle (all 0 at first). Sends nothing.
 *
 * @param handle   an open handle (20009 when invalid or closed).
 * @param featureA the first value, sent as 16 bits.
 * @param featureB the second value, sent as 16 bits.
 * @param featureC the third value, sent as 16 bits.
 * @retval TVX_OK (0) the values are stored.
 * @retval TVX_ERR_OS (20006) no memory for the handle's display state.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdSetFeature(TVX_HANDLE handle, uint16_t featureA, uint16_t featureB,
                                               uint16_t featureC);
/**
 * Opens a session on the screen and fills `info`.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param info      required: receives the screen's kind, depth and size.
 * @retval TVX_OK (0) `info` was written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `info`, before the handle is
 *         looked at.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdOpen(TVX_HANDLE handle, uint32_t lcdNumber, TVX_LcdScreenInfo* info);
/**
 * Ends the session; sent without waiting for a reply.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @retval TVX_OK (0) the request was sent.
 * @retval others the send's result (@ref link_results).
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdClose(TVX_HANDLE handle, uint32_t lcdNumber);
/**
 * Asks which regions changed. The region count is stored first.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param regions   optional: the count and the changed regions.
 * @param checkInfo optional: the check reply's state values.
 * @retval TVX_OK (0) the outputs given were written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) both outputs are NULL.
 * @retval TVX_ERR_REPLY_LENGTH (20100) more than 5 regions: the count is
 *         stored, no region (nor the check info).
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataCheck(TVX_HANDLE handle, uint32_t lcdNumber, TVX_LcdRegionList* regions,
                                              TVX_LcdCheckInfo* checkInfo);
/**
 * Fetches one chunk of a region. The region is complete when the next
 * position is not greater than `position`.
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param lcdNumber   the screen, sent as its low 8 bits.
 * @param regionIndex the region, sent as its low 8 bits; below 5 for
 *                    painting.
 * @param position    where the chunk starts: the row in the high 16 bits,
 *                    the column in the low 16 bits, or the position
 *                    `next` gave.
 * @param next        optional: the position to ask next.
 * @param raw         optional: the chunk as it came.
 * @param screen      the screen record; required with `pixels`.
 * @param pixels      optional: the pixel buffer (width x height elements)
 *                    to paint into. `raw` and `pixels` may not both be
 *                    NULL.
 * @retval TVX_OK (0) the chunk was stored and painted.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) `raw` and `pixels` both NULL, or
 *         `pixels` without `screen`.
 * @retval TVX_ERR_REPLY_LENGTH (20100) with `raw`, a chunk that claims
 *         more than 2048 bytes or more than the reply carries.
 * @retval others @ref lcd_fetch_results, with `pixels`.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGet(TVX_HANDLE handle, uint32_t lcdNumber, uint32_t regionIndex,
                                            uint32_t position, uint32_t* next, TVX_LcdRawChunk* raw,
                                            const TVX_LcdScreen* screen, uint16_t* pixels);
/**
 * As TVX_ELcdDataGet, with colours converted from 5-5-5 to 5-6-5 before
 * painting (red and green up one bit, the lowest green bit 0).
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param lcdNumber   the screen, sent as its low 8 bits.
 * @param regionIndex the region, sent as its low 8 bits; below 5 for
 *                    painting.
 * @param position    where the chunk starts.
 * @param next        optional: the position to ask next.
 * @param raw         optional: the chunk as it came (not converted).
 * @param screen      the screen record; required with `pixels`.
 * @param pixels      optional: the pixel buffer to paint into. `raw` and
 *                    `pixels` may not both be NULL.
 * @retval TVX_OK (0) the chunk was stored and painted.
 * @retval others as TVX_ELcdDataGet.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGet2(TVX_HANDLE handle, uint32_t lcdNumber, uint32_t regionIndex,
                                             uint32_t position, uint32_t* next, TVX_LcdRawChunk* raw,
                                             const TVX_LcdScreen* screen, uint16_t* pixels);
/**
 * Ends a refresh pass.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @retval TVX_OK (0) the pass is ended.
 * @retval TVX_ERR_REPLY_LENGTH (20100) the controller answers with pixel
 *         data.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetEnd(TVX_HANDLE handle, uint32_t lcdNumber);
/**
 * Fetches every region listed in `screen` into `pixels`. A failing fetch
 * ends the call with its result; the pixels painted so far stay.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param screen    required: the screen record with the regions to
 *                  fetch; a region count of 0 or less: nothing to do.
 * @param pixels    the pixel buffer, width x height elements; NULL gives
 *                  20002 when there is a region to fetch.
 * @retval TVX_OK (0) every region was painted.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `screen` or `pixels`, or
 *         more than 5 regions.
 * @retval TVX_ERR_REPLY_LENGTH (20100) also a region that needs more
 *         chunks than the buffer has pixels.
 * @retval others @ref lcd_fetch_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAll(TVX_HANDLE handle, uint32_t lcdNumber, const TVX_LcdScreen* screen,
                                               uint16_t* pixels);
/**
 * As TVX_ELcdDataGetAll, colours converted from 5-5-5 to 5-6-5.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param screen    required: the screen record with the regions to fetch.
 * @param pixels    the pixel buffer, width x height elements.
 * @retval TVX_OK (0) every region was painted.
 * @retval others as TVX_ELcdDataGetAll.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAll2(TVX_HANDLE handle, uint32_t lcdNumber, const TVX_LcdScreen* screen,
                                                uint16_t* pixels);
/**
 * Checks, stores the changed regions (and their count) in `screen`, then
 * fetches them. No changed region: count 0 and nothing fetched.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param screen    required: the screen record; its region list is
 *                  replaced.
 * @param pixels    the pixel buffer, width x height elements.
 * @retval TVX_OK (0) every changed region was painted.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `screen`, or a NULL `pixels`
 *         with a region to fetch.
 * @retval TVX_ERR_REPLY_LENGTH (20100) more than 5 changed regions, or a
 *         region that needs more chunks than the buffer has pixels.
 * @retval others @ref lcd_fetch_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataCheckAndGetAll(TVX_HANDLE handle, uint32_t lcdNumber, TVX_LcdScreen* screen,
                                                       uint16_t* pixels);
/**
 * As TVX_ELcdDataCheckAndGetAll, colours converted from 5-5-5 to 5-6-5.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param screen    required: the screen record; its region list is
 *                  replaced.
 * @param pixels    the pixel buffer, width x height elements.
 * @retval TVX_OK (0) every changed region was painted.
 * @retval others as TVX_ELcdDataCheckAndGetAll.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataCheckAndGetAll2(TVX_HANDLE handle, uint32_t lcdNumber,
                                                        TVX_LcdScreen* screen, uint16_t* pixels);
/**
 * As TVX_ELcdDataGetAll, calling `onProgress` before every `every`-th
 * continuation fetch, counted across the regions; never before a region's
 * first fetch.
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param lcdNumber  the screen, sent as its low 8 bits.
 * @param screen     required: the screen record with the regions to fetch.
 * @param pixels     the pixel buffer, width x height elements.
 * @param every      continuation fetches between calls; 0 or less: never
 *                   called.
 * @param onProgress may be NULL; called with `handle`, on the caller's
 *                   thread.
 * @retval TVX_OK (0) every region was painted.
 * @retval others as TVX_ELcdDataGetAll.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAllWithEvents(TVX_HANDLE handle, uint32_t lcdNumber,
                                                         const TVX_LcdScreen* screen, uint16_t* pixels,
                                                         int32_t every, TVX_LcdProgressCallback onProgress);
/**
 * As TVX_ELcdDataGetAllWithEvents, colours converted from 5-5-5 to 5-6-5.
 *
 * @param handle     an open handle (20009 when invalid or closed).
 * @param lcdNumber  the screen, sent as its low 8 bits.
 * @param screen     required: the screen record with the regions to fetch.
 * @param pixels     the pixel buffer, width x height elements.
 * @param every      continuation fetches between calls; 0 or less: never
 *                   called.
 * @param onProgress may be NULL.
 * @retval TVX_OK (0) every region was painted.
 * @retval others as TVX_ELcdDataGetAll.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAll2WithEvents(TVX_HANDLE handle, uint32_t lcdNumber,
                                                          const TVX_LcdScreen* screen, uint16_t* pixels,
                                                          int32_t every, TVX_LcdProgressCallback onProgress);
/**
 * Touch input at (x, y).
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param action    sent as its low 8 bits; its meaning is the
 *                  controller's.
 * @param x         the column.
 * @param y         the row.
 * @retval TVX_OK (0) the controller took the input.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdMouseSet(TVX_HANDLE handle, uint32_t lcdNumber, int32_t action, uint16_t x,
                                             uint16_t y);
/**
 * Touch input at (x, y) with a further value.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param action    sent as its low 8 bits.
 * @param x         the column.
 * @param y         the row.
 * @param extra     sent as 16 bits; its meaning is the controller's.
 * @retval TVX_OK (0) the controller took the input.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdMouseSet2(TVX_HANDLE handle, uint32_t lcdNumber, int32_t action, uint16_t x,
                                              uint16_t y, uint16_t extra);
/**
 * Key input.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param key       the key code, sent as 16 bits.
 * @param state     sent as its low 8 bits.
 * @retval TVX_OK (0) the controller took the input.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdKeySet(TVX_HANDLE handle, uint32_t lcdNumber, uint16_t key, int32_t state);
/**
 * Virtual-key input.
 *
 * @param handle    an open handle (20009 when invalid or closed).
 * @param lcdNumber the screen, sent as its low 8 bits.
 * @param key       the virtual-key code, sent as 16 bits.
 * @param state     sent as its low 8 bits.
 * @retval TVX_OK (0) the controller took the input.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdVKeySet(TVX_HANDLE handle, uint32_t lcdNumber, uint16_t key, int32_t state);
/**
 * Encoder input; the meaning of the values is the controller's.
 *
 * @param handle an open handle (20009 when invalid or closed).
 * @param coderA sent as 16 bits.
 * @param coderB sent as 16 bits.
 * @param coderC sent as 32 bits.
 * @param coderD sent as 32 bits.
 * @retval TVX_OK (0) the controller took the input.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_ELcdCoderSet(TVX_HANDLE handle, uint16_t coderA, uint16_t coderB, int32_t coderC,
                                             int32_t coderD);

/* ---------------------------------------------------------------------------
 * Camera images
 *
 * Images of the controller's vision module, fetched whole into a caller's
 * buffer of width x height 16-bit pixels (same layout and encoding as the
 * LCD). Only images of 16 bits per pixel can be fetched.
 * ------------------------------------------------------------------------- */


/**
 * Width, height, bits per pixel and the controller's further value of an
 * image.
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param imageNumber the image.
 * @param widthOut    optional: the width in pixels.
 * @param heightOut   optional: the height in pixels.
 * @param bitsOut     optional: the bits per pixel.
 * @param extraOut    optional: the controller's further value.
 * @retval TVX_OK (0) the outputs given were written.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_NVLatinImgGetInfo(TVX_HANDLE handle, uint16_t imageNumber, int32_t* widthOut,
                                                  int32_t* heightOut, int32_t* bitsOut, int32_t* extraOut);
/**
 * Fetches the whole image. The size outputs are written as soon as the
 * description arrives, also when the fetch then fails.
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param imageNumber the image.
 * @param widthOut    optional: the width in pixels.
 * @param heightOut   optional: the height in pixels.
 * @param bitsOut     optional: the bits per pixel.
 * @param pixels      receives width x height 16-bit pixels, row after row;
 *                    NULL gives 20002.
 * @param bufferSize  bytes at `pixels`: at least width x height x 2.
 * @retval TVX_OK (0) the whole image was painted.
 * @retval TVX_ERR_PIXEL_DEPTH (5029) another depth than 16.
 * @retval TVX_ERR_BUFFER_TOO_SMALL (20030) `bufferSize` bytes are fewer
 *         than width x height x 2.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `pixels`.
 * @retval TVX_ERR_CHUNK_KIND (5028) a chunk that is not encoded pixels.
 * @retval TVX_ERR_REPLY_LENGTH (20100) a chunk that claims more than it
 *         carries (or over 2048 bytes) or would write outside the image,
 *         or more chunks than the image has pixels.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_NVLatinImgGet(TVX_HANDLE handle, uint16_t imageNumber, int32_t* widthOut,
                                              int32_t* heightOut, int32_t* bitsOut, uint16_t* pixels,
                                              int32_t bufferSize);
/**
 * As TVX_NVLatinImgGet, colours converted from 5-5-5 to 5-6-5.
 *
 * @param handle      an open handle (20009 when invalid or closed).
 * @param imageNumber the image.
 * @param widthOut    optional: the width in pixels.
 * @param heightOut   optional: the height in pixels.
 * @param bitsOut     optional: the bits per pixel.
 * @param pixels      receives width x height 16-bit pixels; NULL gives
 *                    20002.
 * @param bufferSize  bytes at `pixels`: at least width x height x 2.
 * @retval TVX_OK (0) the whole image was painted.
 * @retval others as TVX_NVLatinImgGet.
 */
TVX_API int32_t TVX_STDCALL TVX_NVLatinImgGet2(TVX_HANDLE handle, uint16_t imageNumber, int32_t* widthOut,
                                               int32_t* heightOut, int32_t* bitsOut, uint16_t* pixels,
                                               int32_t bufferSize);

/* ---------------------------------------------------------------------------
 * Cycle upload and auto-upload
 *
 * A host names up to 32 values in an item text ("VR(0), DPOS(0) IN(0)"):
 * names of letters, digits and underscores (at most 47 characters), each
 * optionally followed by a parenthesised start index, separated by blanks
 * and an optional comma; an underscore before a line break continues the
 * text on the next line. The controller answers with the layout of a block
 * and then pushes the block every cycle; the library keeps the latest block
 * of up to four uploads per handle (buffer numbers 0 to 255 receive blocks;
 * the number goes on the wire as its low byte).
 *
 * Threading: blocks are copied on the link's receive thread under a guard
 * per buffer that value reads also take, so a read never sees parts of two
 * blocks. Any thread may read while blocks arrive.
 * ------------------------------------------------------------------------- */


/**
 * Starts (or restarts) an upload with the items of an item text. A
 * restart that fails leaves the buffer inactive.
 *
 * @param handle       an open handle (20009 when invalid or closed).
 * @param bufferNumber the buffer, 0 to 255 to receive blocks; sent as its
 *                     low byte.
 * @param cycleValue   goes to the controller unchanged (the push period in
 *                     milliseconds).
 * @param itemText     the items, at most 2025 characters; NULL gives
 *                     20002.
 * @retval TVX_OK (0) the upload is active with the controller's layout.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `itemText`.
 * @retval TVX_ERR_OVER_LIMIT (20035) an item text longer than 2025
 *         characters, or a block longer than the library keeps.
 * @retval TVX_ERR_NO_HANDLE (20005) all four buffers are in use by other
 *         numbers.
 * @retval 20037 a 33rd item.
 * @retval 3201 a name of 48 characters or more.
 * @retval 3203 a character that cannot start a name (a line break needs a
 *         continuation underscore before it).
 * @retval 20038 the controller accepted another number of items.
 * @retval TVX_ERR_REPLY_LENGTH (20100) a layout that does not fit its
 *         reply or its block.
 * @retval TVX_ERR_OS (20006) no memory for the handle's upload state.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_CycleUpEnable(TVX_HANDLE handle, int32_t bufferNumber, uint32_t cycleValue,
                                              const char* itemText);
/**
 * Stops an upload. The buffer is inactive afterwards even when the
 * request fails.
 *
 * @param handle       an open handle (20009 when invalid or closed).
 * @param bufferNumber the buffer, or -1 for every upload; sent as its low
 *                     byte.
 * @retval TVX_OK (0) the controller stopped the upload.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_CycleUpDisable(TVX_HANDLE handle, int32_t bufferNumber);
/**
 * Asks for one block at once and keeps it as the latest.
 *
 * @param handle       an open handle (20009 when invalid or closed).
 * @param bufferNumber an active buffer, or -1 for every active buffer (the
 *                     first error is returned).
 * @retval TVX_OK (0) the block was asked for (with -1 also when no buffer
 *         is active).
 * @retval TVX_ERR_BAD_ARGUMENT (20002) the buffer is not active.
 * @retval others @ref link_results.
 */
TVX_API int32_t TVX_STDCALL TVX_CycleUpForceOnce(TVX_HANDLE handle, int32_t bufferNumber);
/**
 * Blocks received since the buffer was enabled. Takes no lock.
 *
 * @param handle       an open handle.
 * @param bufferNumber the buffer.
 * @return the count; 0 when the buffer is not active; 20009 (as a value)
 *         for an invalid handle.
 */
TVX_API uint32_t TVX_STDCALL TVX_CycleUpGetRecvTimes(TVX_HANDLE handle, int32_t bufferNumber);
/**
 * Element `index` of item `itemName` from the latest block, as a double.
 *
 * @param handle       an open handle (20009 when invalid or closed).
 * @param bufferNumber an active buffer, or -1 to search every active
 *                     buffer.
 * @param itemName     the item's name, in any case; required.
 * @param index        the element (the item's start index counts).
 * @param valueOut     required: receives the value.
 * @retval TVX_OK (0) `valueOut` was written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `itemName` or `valueOut`, or
 *         the buffer (with -1: every buffer) is not active.
 * @retval 20039 no item of that name holds the index.
 */
TVX_API int32_t TVX_STDCALL TVX_CycleUpReadBuff(TVX_HANDLE handle, int32_t bufferNumber, const char* itemName,
                                                uint32_t index, double* valueOut);
/**
 * As TVX_CycleUpReadBuff, as a 32-bit integer: floating-point values are
 * truncated toward zero; NaN and values outside the range give INT32_MIN.
 *
 * @param handle       an open handle (20009 when invalid or closed).
 * @param bufferNumber an active buffer, or -1 to search every active
 *                     buffer.
 * @param itemName     the item's name, in any case; required.
 * @param index        the element (the item's start index counts).
 * @param valueOut     required: receives the value.
 * @retval TVX_OK (0) `valueOut` was written.
 * @retval TVX_ERR_BAD_ARGUMENT (20002) a NULL `itemName` or `valueOut`, or
 *         the buffer (with -1: every buffer) is not active.
 * @retval 20039 no item of that name holds the index.
 */
TVX_API int32_t TVX_STDCALL TVX_CycleUpReadBuffInt(TVX_HANDLE handle, int32_t bufferNumber, const char* itemName,
                                                   uint32_t index, int32_t* valueOut);
/**
 * Registers a callback for the text the controller pushes (the output of
 * a running program) and tells the controller to send it
 * ("IFAUTOUP_PORT=1"; a NULL callback sends "IFAUTOUP_PORT=0" and removes
 * it). When the command fails the previous callback stays. The callback
 * runs on the link's receive thread (see the threading rules at the top).
 * It is never called once TVX_Close has returned: Close waits for a call
 * in progress on another thread to return, so a callback must not wait
 * for the thread that closes its handle.
 *
 * @param handle   an open handle (20009 when invalid or closed).
 * @param callback the callback, or NULL to stop the text.
 * @retval TVX_OK (0) the controller took the command; the callback is set.
 * @retval others @ref link_results (the controller's errors as its status).
 */
TVX_API int32_t TVX_STDCALL TVX_SetAutoUpCallBack(TVX_HANDLE handle, TVX_AutoUpCallback callback);
/**
 * Upper-cases the ASCII letters of `text` in place.
 *
 * @param text a terminated text; NULL is returned as it is.
 * @return `text`.
 */
TVX_API char* TVX_CDECL strupr(char* text);
/**
 * Lower-cases, in place, every character the C library counts as upper
 * case.
 *
 * @param text a terminated text; NULL is returned as it is.
 * @return `text`.
 */
TVX_API char* TVX_CDECL strlwr(char* text);

#ifdef __cplusplus
}
#endif

#endif /* TAVRIX_H */
