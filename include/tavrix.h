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
 *    on the same handle (it would wait for its own receive thread).
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

/* Opens a link of `kind` to `address` and queries the controller. The
 * address text is kept (at most 1023 characters). On success stores the
 * handle through `out`. The open's budget, 5000 ms, bounds the whole open:
 * a controller that does not answer gives 3402 after at most 5 seconds
 * (plus the time the system takes to open the port or card). The handle's
 * transaction budget is 5000 ms afterwards. */
TVX_API int32_t TVX_STDCALL TVX_Open(int32_t kind, const char* address, TVX_HANDLE* out);
/* As TVX_Open with `timeoutMs` as the open's budget (bounding the whole
 * open the same way) and as the handle's transaction budget afterwards. */
TVX_API int32_t TVX_STDCALL TVX_OpenWithTimeOut(int32_t kind, const char* address, uint32_t timeoutMs,
                                                TVX_HANDLE* out);
/* As TVX_Open with the caller's budget (bounding the whole open and every
 * transaction afterwards) and no transfer probe. */
TVX_API int32_t TVX_STDCALL TVX_FastOpen(int32_t kind, const char* address, uint32_t timeoutMs,
                                         TVX_HANDLE* out);
/* Closes the link. Waits for a transaction in flight on another thread; a
 * caller holding the user lock (TVX_Signal_BasicP) must give it back first.
 * The handle stays refused (20009) afterwards.
 * Unloading the library (dlclose, FreeLibrary) with handles still open
 * closes them and stops their receive and keep-alive threads; the unload
 * returns within 2 seconds. No caller thread may be inside a TVX_ call
 * then. */
TVX_API int32_t TVX_STDCALL TVX_Close(TVX_HANDLE handle);
/* Transaction budget in milliseconds (5000 after TVX_Open). */
TVX_API int32_t TVX_STDCALL TVX_SetTimeOut(TVX_HANDLE handle, uint32_t ms);
TVX_API int32_t TVX_STDCALL TVX_GetTimeOut(TVX_HANDLE handle, uint32_t* ms);
/* Progress of the current file transfer; 0.0 for an invalid handle. Safe to
 * call from another thread while the transfer runs. */
TVX_API float TVX_STDCALL TVX_GetProgress(TVX_HANDLE handle);
/* Link kind of the handle; 255 for an invalid handle. */
TVX_API uint8_t TVX_STDCALL TVX_GetConnectType(TVX_HANDLE handle);
/* Address text given at open; NULL for an invalid handle. The text lives in
 * the handle record. */
TVX_API const char* TVX_STDCALL TVX_GetConnectString(TVX_HANDLE handle);
/* Low byte of the axis count reported at open; 0 for an invalid handle. */
TVX_API uint8_t TVX_STDCALL TVX_GetAxises(TVX_HANDLE handle);
/* Connection identifier sent by every later open; always 0. */
TVX_API int32_t TVX_STDCALL TVX_SetConnectSecureID(uint32_t id);

/* ---------------------------------------------------------------------------
 * Controller queries, I/O and axes
 * ------------------------------------------------------------------------- */

TVX_API int32_t TVX_STDCALL TVX_GetState(TVX_HANDLE handle, uint8_t* stateOut);
TVX_API int32_t TVX_STDCALL TVX_GetStopPauseTaskid(TVX_HANDLE handle, uint8_t* taskOut);
/* textOut: at least 20 bytes; terminated when the text is shorter than 20. */
TVX_API int32_t TVX_STDCALL TVX_GetCurIpAddr(TVX_HANDLE handle, char* textOut);
TVX_API int32_t TVX_STDCALL TVX_GetClientId(TVX_HANDLE handle, int32_t* valueOut);
TVX_API int32_t TVX_STDCALL TVX_GetSoftId(TVX_HANDLE handle, int32_t* valueOut);
TVX_API int32_t TVX_STDCALL TVX_GetHardId(TVX_HANDLE handle, int32_t* valueOut);
TVX_API int32_t TVX_STDCALL TVX_GetError(TVX_HANDLE handle, int32_t* valueOut);
TVX_API int32_t TVX_STDCALL TVX_GetChipId(TVX_HANDLE handle, int32_t* valueOut);
/* Every out-parameter optional; textOut takes 16 bytes (no terminator when
 * the version text fills all 16). */
TVX_API int32_t TVX_STDCALL TVX_GetSoftVersion(TVX_HANDLE handle, uint32_t* versionOut,
                                               char* textOut, uint32_t* dateOut);
/* The axis number is sent as its low 8 bits. */
TVX_API int32_t TVX_STDCALL TVX_SetAxisEnable(TVX_HANDLE handle, uint32_t axis, uint8_t enable);
TVX_API int32_t TVX_STDCALL TVX_SetOutput(TVX_HANDLE handle, uint32_t ioNumber, uint8_t state);
TVX_API int32_t TVX_STDCALL TVX_GetIn(TVX_HANDLE handle, uint32_t ioNumber, uint8_t* stateOut);
TVX_API int32_t TVX_STDCALL TVX_GetOutput(TVX_HANDLE handle, uint32_t ioNumber, uint8_t* stateOut);
TVX_API int32_t TVX_STDCALL TVX_SetOutAll(TVX_HANDLE handle, uint32_t first, uint32_t last,
                                          int32_t bits);
TVX_API int32_t TVX_STDCALL TVX_GetInAll(TVX_HANDLE handle, uint32_t first, uint32_t last,
                                         int32_t* bitsOut);
TVX_API int32_t TVX_STDCALL TVX_GetOutAll(TVX_HANDLE handle, uint32_t first, uint32_t last,
                                          int32_t* bitsOut);
TVX_API int32_t TVX_STDCALL TVX_SetDaOut(TVX_HANDLE handle, uint32_t channelNumber, int32_t value);
TVX_API int32_t TVX_STDCALL TVX_GetDaOut(TVX_HANDLE handle, uint32_t channelNumber, float* valueOut);
TVX_API int32_t TVX_STDCALL TVX_GetAIn(TVX_HANDLE handle, uint32_t channelNumber, float* valueOut);
/* statesOut: 17 bytes. */
TVX_API int32_t TVX_STDCALL TVX_GetAxisStates(TVX_HANDLE handle, uint32_t axis, uint8_t* statesOut);
TVX_API int32_t TVX_STDCALL TVX_GetAxisFeatures(TVX_HANDLE handle, uint32_t axis,
                                                int32_t* featuresOut);
TVX_API int32_t TVX_STDCALL TVX_GetSysSpecification(TVX_HANDLE handle,
                                                    TVX_SysSpecification* recordOut);
/* Every out-parameter optional; textOut takes 26 bytes (no terminator when
 * the text fills all 26). */
TVX_API int32_t TVX_STDCALL TVX_GetTaskState(TVX_HANDLE handle, uint32_t task, uint8_t* stateOut,
                                             uint8_t* secondOut, uint16_t* wordOut,
                                             int32_t* valueOut, char* textOut);
/* Every out-parameter optional; textOut takes 23 bytes. */
TVX_API int32_t TVX_STDCALL TVX_GetTaskStackState(TVX_HANDLE handle, uint32_t task, uint32_t level,
                                                  uint8_t* byteOut, int32_t* valueOut,
                                                  char* textOut);
TVX_API int32_t TVX_STDCALL TVX_EnumChildCard(TVX_HANDLE handle, uint32_t index,
                                              TVX_ChildCard* recordOut);
TVX_API int32_t TVX_STDCALL TVX_LowFormatNand(TVX_HANDLE handle, int32_t value);
TVX_API int32_t TVX_STDCALL TVX_ReturnDefault(TVX_HANDLE handle, int32_t value);
TVX_API int32_t TVX_STDCALL TVX_ResetController(TVX_HANDLE handle);
TVX_API int32_t TVX_STDCALL TVX_ClearLog(TVX_HANDLE handle);
/* Sends the text with its terminating NUL (at most 2043 characters). */
TVX_API int32_t TVX_STDCALL TVX_SetMac(TVX_HANDLE handle, const char* text);
/* textOut: at least 14 bytes; terminated when the text is shorter than 14. */
TVX_API int32_t TVX_STDCALL TVX_GetMac(TVX_HANDLE handle, char* textOut);
/* Kept for compatibility: checks nothing, sends nothing, returns 0. */
TVX_API int32_t TVX_STDCALL TVX_CheckProgramSyntax(const char* text, int32_t* resultOut);

/* ---------------------------------------------------------------------------
 * Ethernet links and discovery
 * ------------------------------------------------------------------------- */

/* Probes `ip` ("a.b.c.d[:port]") for 100 ms and opens it when a controller
 * answers (20008 when none does). */
TVX_API int32_t TVX_STDCALL TVX_OpenEth(const char* ip, TVX_HANDLE* out);
/* As TVX_OpenEth with the address as a 32-bit value in network byte order. */
TVX_API int32_t TVX_STDCALL TVX_OpenEth2(uint32_t ip, TVX_HANDLE* out);
/* Broadcasts the discovery probe and waits `timeMs`; `buffer` receives the
 * dotted address of every answering controller, each followed by a blank,
 * NUL-terminated (15 + 1 bytes per controller plus the terminator). A full
 * buffer ends the search early. Returns 0, 3206 for a null buffer, -1 when
 * no socket can be created. Calls may run concurrently. */
TVX_API int32_t TVX_STDCALL TVX_SearchEth(char* buffer, uint32_t bufferSize, uint32_t timeMs);
/* Probes `ip` for up to `timeMs` and opens it when a controller answers;
 * 20008 when none does, 3206 for a null address. */
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

/* Opens card `card` (0-based over all cards): TVX_Open of "PCI<card+1>". */
TVX_API int32_t TVX_STDCALL TVX_OpenPci(uint32_t card, TVX_HANDLE* out);
/* Number of cards present: PCIe-class plus PCI-class cards, at most 16 of
 * each; 0 when there are none or no driver. */
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

/* Opens serial port `port` as TVX_Open(TVX_LINK_SERIAL, "COM   3", out)
 * would for port 3. */
TVX_API int32_t TVX_STDCALL TVX_OpenCom(uint32_t port, TVX_HANDLE* out);
/* As TVX_OpenCom through TVX_FastOpen: the transaction budget is `timeoutMs`
 * and there is no transfer probe. */
TVX_API int32_t TVX_STDCALL TVX_PeakCom(uint32_t port, uint32_t timeoutMs, TVX_HANDLE* out);
/* Tries ports `first` to `last` in turn with TVX_PeakCom and 300 ms each;
 * the first that answers is opened, its number stored through `found`
 * (optional). 20007 when none answers or first > last; 20002 for a NULL
 * `out`. Ports above 1024 are not tried. `reserved` is ignored. Each silent
 * port costs about 300 ms. */
TVX_API int32_t TVX_STDCALL TVX_SearchAndOpenCom(uint32_t first, uint32_t last, uint32_t* found, uint32_t reserved,
                                                 TVX_HANDLE* out);
/* Line settings of later serial opens: baud (default 38400), data bits
 * (stored only: the port always runs 8), parity (0 none (default), 1 odd,
 * 2 even, 3 mark, 4 space) and stop bits (0 one (default), 1 one and a half,
 * 2 two; on Linux one and a half runs as two). A port that refuses them
 * stays at 38400-8-N-1. Returns 0. Not synchronised with opens in progress. */
TVX_API int32_t TVX_STDCALL TVX_SetComDefaultBaud(uint32_t baud, uint32_t dataBits, uint32_t parity,
                                                  uint32_t stopBits);
/* Station address of later serial opens (default 254, which every
 * controller answers); 0 means 254. Returns 0. */
TVX_API int32_t TVX_STDCALL TVX_SetComDefaultID(uint8_t station);
/* Station address of this handle's frames; 0 means 254. Replies from this
 * station or 254 are accepted. */
TVX_API int32_t TVX_STDCALL TVX_SetComCurID(TVX_HANDLE handle, uint8_t station);
/* Asks the controller to move its serial line to `baud` (request 226) and,
 * when it accepts, moves the local port too (defaults' parity and stop
 * bits). 20002 on a handle that is not serial (nothing is sent). Lasts until
 * the port is closed; the controller's own setting decides after that. */
TVX_API int32_t TVX_STDCALL TVX_TempModBaud(TVX_HANDLE handle, uint32_t baud);

/* ---------------------------------------------------------------------------
 * Library frame and version
 * ------------------------------------------------------------------------- */

/* Writes the library's file version as "major.minor.patch.tweak" (each part
 * 0..255) into `out`, which must hold 16 bytes. NULL gives 20002; 20006 when
 * the version cannot be read (`out` untouched). Thread-safe. */
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

/* Waits for the previous command to finish, sends `commandText` and
 * collects its whole answer into `response`. */
TVX_API int32_t TVX_STDCALL TVX_Execute(TVX_HANDLE handle, const char* commandText, uint32_t timeLimitMs,
                                        char* response, uint32_t responseCapacity);
/* Sends `commandText` without waiting for or collecting an answer; collect
 * it later with TVX_ExecuteGetReceive. */
TVX_API int32_t TVX_STDCALL TVX_ExecuteNoAck(TVX_HANDLE handle, const char* commandText, uint32_t timeLimitMs);
/* Fetches and discards answer text until the current command has finished. */
TVX_API int32_t TVX_STDCALL TVX_ExecuteWaitDown(TVX_HANDLE handle, uint32_t timeLimitMs);
/* Collects the answer text waiting now. `lengthOut` (required) receives the
 * count of bytes stored; `doneOut` (optional) 1 when the command has
 * finished, 0 when more may follow. */
TVX_API int32_t TVX_STDCALL TVX_ExecuteGetReceive(TVX_HANDLE handle, char* response, uint32_t responseCapacity,
                                                  uint32_t* lengthOut, uint8_t* doneOut);
/* Free space of the controller's command buffer in bytes; 0 when the
 * request fails; 20009 (as a value) for an invalid handle. */
TVX_API uint32_t TVX_STDCALL TVX_ExecuteGetRemainBuffSpace(TVX_HANDLE handle);
/* Runs `commandText` in one exchange and copies the answer into `response`.
 * The text travels with its 0 byte in one request: at most 2037 characters
 * on serial and PCI links and 2033 on Ethernet (a longer text gives 3401, one
 * of 2040 characters or more 20002). An answer longer than the capacity
 * gives TVX_ERR_REPLY_LENGTH (20100) with nothing copied. Capacity 0 asks
 * for no answer (the response pointer may then be NULL). */
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

/* Writes `count` coils from `bits`: function 5 for one coil (bit 0 of the
 * first byte; the other bits are ignored), function 15 for more. */
TVX_API int32_t TVX_STDCALL TVX_Modbus_Set0x(TVX_HANDLE handle, uint16_t start, uint16_t count, const uint8_t* bits);
/* Reads `count` coils into `bitsOut` ((count + 7) / 8 bytes); the unused
 * high bits of the last byte are cleared. */
TVX_API int32_t TVX_STDCALL TVX_Modbus_Get0x(TVX_HANDLE handle, uint16_t start, uint16_t count, uint8_t* bitsOut);
/* Writes `count` holding registers: function 6 for one, 16 for more. */
TVX_API int32_t TVX_STDCALL TVX_Modbus_Set4x(TVX_HANDLE handle, uint16_t start, uint16_t count, const uint16_t* words);
/* Reads `count` holding registers into `wordsOut` (a Modbus read asks at
 * most 125). */
TVX_API int32_t TVX_STDCALL TVX_Modbus_Get4x(TVX_HANDLE handle, uint16_t start, uint16_t count, uint16_t* wordsOut);
/* 32-bit values (integers or IEEE-754 singles alike: only the bits travel)
 * in two registers each: value k in registers start + 2k (low 16 bits) and
 * start + 2k + 1 (high 16 bits). Writes always use function 16 and take
 * at most 61 values; a read of more than 62 values asks more than the 125
 * registers a Modbus read may. The IEEE names are the same functions. */
TVX_API int32_t TVX_STDCALL TVX_Modbus_SetLong(TVX_HANDLE handle, uint16_t start, uint16_t count,
                                               const uint32_t* values);
TVX_API int32_t TVX_STDCALL TVX_Modbus_GetLong(TVX_HANDLE handle, uint16_t start, uint16_t count, uint32_t* valuesOut);
TVX_API int32_t TVX_STDCALL TVX_Modbus_SetIEEE(TVX_HANDLE handle, uint16_t start, uint16_t count,
                                               const uint32_t* values);
TVX_API int32_t TVX_STDCALL TVX_Modbus_GetIEEE(TVX_HANDLE handle, uint16_t start, uint16_t count, uint32_t* valuesOut);

/* Named register areas, by their exact (case-sensitive) names, each with its
 * element width in bits:
 *   "D" 16, "M" 1, "V" 16, "Z" 16, "S" 1, "C" and "T" 1, 16 or 32 (the
 *   caller's widthBits), "X" 1 (read only), "Y" 1, "VR" 32, "VR_INT" 32,
 *   "DT" 64 when widthBits is 64 and 32 otherwise, "TABLE" 32, "DA" 32,
 *   "AD" 32 (read only).
 * For the other areas widthBits is ignored. The data are (width x count +
 * 7) / 8 bytes, packed as the controller stores them (bits eight to a byte,
 * first element in bit 0; wider elements little-endian), neither swapped
 * nor converted. One call moves at most 192 bytes on a serial link and 992
 * on the others (20035 above that, nothing sent).
 * 20002 for a NULL or unknown name, a "C" or "T" width other than 1, 16 or
 * 32, a write to "X" or "AD", or a NULL data pointer; 20100 when a read
 * reply does not carry exactly the asked bytes (nothing copied). */
TVX_API int32_t TVX_STDCALL TVX_RegisterRead(TVX_HANDLE handle, const char* areaName, uint8_t widthBits,
                                             uint32_t start, uint16_t count, void* dataOut);
TVX_API int32_t TVX_STDCALL TVX_RegisterWrite(TVX_HANDLE handle, const char* areaName, uint8_t widthBits,
                                              uint32_t start, uint16_t count, const void* data);

/* ---------------------------------------------------------------------------
 * Result descriptions
 * ------------------------------------------------------------------------- */

/* Fixed English text of a result code, or NULL for a code without one (the
 * channel codes 34xx among them). The text is static and stays valid while
 * the library is loaded; do not modify or free it. Safe from any thread.
 * Uses the C calling convention. TVX_DescribeResult gives a text for every
 * code. */
TVX_API const char* TVX_CDECL TVX_GetErrcodeDescription(int32_t code);

/* ---------------------------------------------------------------------------
 * Extension: a text for every result code
 *
 * Not part of the controller family's classic interface: an addition of
 * this library, exported on every platform.
 * ------------------------------------------------------------------------- */

/* A text for ANY result code, for showing to people; never NULL. The
 * library's own codes get their meaning here (20001 is "Link is not open."
 * where the classic table says "Unknown error."), other codes the text of
 * TVX_GetErrcodeDescription, and codes without either a text naming their
 * family (a Modbus exception, a PCI link failure, a library error, an
 * operating-system failure, or else a status reported by the controller).
 * The text is static and stays valid while the library is loaded; do not
 * modify or free it. Safe from any thread. */
TVX_API const char* TVX_STDCALL TVX_DescribeResult(int32_t code);

/* The same as TVX_DescribeResult; kept for programs written against
 * earlier versions of this header. */
static inline const char* tvx_describe_result(int32_t code) { return TVX_DescribeResult(code); }

/* ---------------------------------------------------------------------------
 * Archive cipher, HMI file transforms and string hash
 * ------------------------------------------------------------------------- */

/* Encode / decode an HMI file image in place: every byte b becomes
 * (2 - b) mod 256, so either call undoes the other (and itself). `buffer`
 * holds `length` bytes; NULL with a non-zero length gives 20002, a zero
 * length returns 0 without touching anything. Thread-safe (no shared state). */
TVX_API int32_t TVX_STDCALL TVX_HmiFileEncode(uint8_t* buffer, uint32_t length);
TVX_API int32_t TVX_STDCALL TVX_HmiFileDecode(uint8_t* buffer, uint32_t length);
/* Stores through `hashOut` the 32-bit string hash of `length` bytes at
 * `data` (h = h * 5 + byte, each byte taken as signed, wrapping): "abc" gives
 * 3014, no bytes give 0. Returns 0; 20002 when `hashOut` is NULL or `data` is
 * NULL with a non-zero length. Thread-safe (no shared state). */
TVX_API int32_t TVX_STDCALL TVX_CalStringHash(const uint8_t* data, uint32_t length, int32_t* hashOut);

/* ---------------------------------------------------------------------------
 * Files, logs, firmware images and flash tables
 *
 * Transfers move in numbered blocks, each its own transaction: other
 * threads' requests on the same handle may run between blocks. Progress of
 * the transfer in flight is readable with TVX_GetProgress from any thread.
 * ------------------------------------------------------------------------- */

/* Downloads a local file (read whole) to the controller under
 * `controllerName` (at most 1024 characters). An empty file gives 20002. */
TVX_API int32_t TVX_STDCALL TVX_DownFile(TVX_HANDLE handle, const char* localPath, const char* controllerName);
TVX_API int32_t TVX_STDCALL TVX_DownMemFile(TVX_HANDLE handle, const void* data, uint32_t length,
                                            const char* controllerName);
/* Uploads a controller file into a local file. */
TVX_API int32_t TVX_STDCALL TVX_UpFile(TVX_HANDLE handle, const char* localPath, const char* controllerName);
/* Uploads into `buffer` of `capacity` bytes; `received` gets the count. A
 * file larger than the buffer gives 20030 with the buffer filled. */
TVX_API int32_t TVX_STDCALL TVX_UpFileToMem(TVX_HANDLE handle, void* buffer, uint32_t capacity,
                                            const char* controllerName, uint32_t* received);
TVX_API int32_t TVX_STDCALL TVX_UpLog(TVX_HANDLE handle, const char* localPath);
TVX_API int32_t TVX_STDCALL TVX_UpLogToMem(TVX_HANDLE handle, void* buffer, uint32_t capacity, uint32_t* received);
TVX_API int32_t TVX_STDCALL TVX_UpFirmFile(TVX_HANDLE handle, const char* localPath, const char* name);
TVX_API int32_t TVX_STDCALL TVX_UpFirmToMem(TVX_HANDLE handle, void* buffer, uint32_t capacity, const char* name,
                                            uint32_t* received);
TVX_API int32_t TVX_STDCALL TVX_Up3File(TVX_HANDLE handle, const char* localPath, const char* name);
TVX_API int32_t TVX_STDCALL TVX_Up3FileToMem(TVX_HANDLE handle, void* buffer, uint32_t capacity, const char* name,
                                             uint32_t* received);
/* Directory listing. nameOut must hold 2035 bytes (the longest name a reply
 * can carry and its terminator). */
TVX_API int32_t TVX_STDCALL TVX_FindFirstFile(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
TVX_API int32_t TVX_STDCALL TVX_FindNextFile(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
TVX_API int32_t TVX_STDCALL TVX_DeleteFile(TVX_HANDLE handle, const char* name);
/* out (optional): 26 bytes, no terminator when the text fills them. */
TVX_API int32_t TVX_STDCALL TVX_GetFileState(TVX_HANDLE handle, uint16_t selector, char* out);
/* Flash tables of floats; count at most 0x3FFFFFFF. readCount receives the
 * count of whole values read, also with 20030 (buffer smaller than table). */
TVX_API int32_t TVX_STDCALL TVX_FlashWritef(TVX_HANDLE handle, uint16_t table, uint32_t count, const float* values);
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

/* Checks an image against the controller without downloading it: the
 * header checks above, then the controller's judgement of the header; a
 * controller that cannot judge it (3205) has its hardware identifier
 * compared with the image's (20020 when they differ). */
TVX_API int32_t TVX_STDCALL TVX_CheckFirmWare(TVX_HANDLE handle, const char* path);
/* Checks, prepares and downloads an image: 20020 when it is built for
 * another hardware identifier. A sectioned image goes section by section
 * with progress over all of them; a failure during a section leaves the
 * sections already sent on the controller. */
TVX_API int32_t TVX_STDCALL TVX_DownFirmWare(TVX_HANDLE handle, const char* path);
TVX_API int32_t TVX_STDCALL TVX_StartHardwareTest(TVX_HANDLE handle);
/* Starts the application firmware / enters the boot loader. */
TVX_API int32_t TVX_STDCALL TVX_JumpApp(TVX_HANDLE handle);
TVX_API int32_t TVX_STDCALL TVX_JumpNbios(TVX_HANDLE handle);

/* ---------------------------------------------------------------------------
 * The three-file store and its RAM download
 *
 * A store of program files apart from the file system. Names are sent
 * without their terminator (at most 2040 characters for the check, 2044
 * for deletion; longer gives 20002).
 * ------------------------------------------------------------------------- */

/* `exists` (required) receives 0 for a missing file (then `value` is left
 * alone) and 1 otherwise, with the controller's value through `value`
 * (optional). An answer that is not exactly 4 bytes gives 20100. */
TVX_API int32_t TVX_STDCALL TVX_Check3File(TVX_HANDLE handle, const char* name, uint8_t* exists, uint32_t* value);
/* Listing: nameOut must hold 2035 bytes, as for TVX_FindFirstFile. */
TVX_API int32_t TVX_STDCALL TVX_FindFirst3File(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
TVX_API int32_t TVX_STDCALL TVX_FindNext3File(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
TVX_API int32_t TVX_STDCALL TVX_GetCur3File(TVX_HANDLE handle, char* nameOut, uint32_t* sizeOut);
TVX_API int32_t TVX_STDCALL TVX_Delete3File(TVX_HANDLE handle, const char* name);
TVX_API int32_t TVX_STDCALL TVX_RemoveAll3Files(TVX_HANDLE handle);
TVX_API int32_t TVX_STDCALL TVX_Down3File(TVX_HANDLE handle, const char* localPath, const char* name);
TVX_API int32_t TVX_STDCALL TVX_DownMem3File(TVX_HANDLE handle, const void* data, uint32_t length, const char* name);
/* Whole-file download to RAM under `name` cut to 127 characters, the byte
 * 0x13 and `number` in decimal. A NULL name gives 20002. */
TVX_API int32_t TVX_STDCALL TVX_Down3FileRam(TVX_HANDLE handle, const char* localPath, const char* name, int32_t number);
TVX_API int32_t TVX_STDCALL TVX_DownMem3FileRam(TVX_HANDLE handle, const void* data, uint32_t length,
                                                const char* name, int32_t number);
/* `space` (optional) receives the remaining RAM space. */
TVX_API int32_t TVX_STDCALL TVX_3FileRamGetRemainSpace(TVX_HANDLE handle, uint16_t value, uint32_t* space);
/* RAM download in parts: begin (name at most 1024 characters, NULL for
 * none), any number of parts, end. `out` (optional) receives the
 * controller's answer value: of the start, and of a part's last
 * acknowledged block. Each part is sent in blocks numbered from 1; a block
 * the controller refuses is resumed from the position it reports. A
 * controller asking for empty blocks gives 20100. */
TVX_API int32_t TVX_STDCALL TVX_3FileRamDownBegin(TVX_HANDLE handle, uint16_t fileNumber, uint32_t announced,
                                                  const char* name, uint32_t* out);
TVX_API int32_t TVX_STDCALL TVX_3FileRamDownPart(TVX_HANDLE handle, uint16_t fileNumber, const void* data,
                                                 uint32_t length, uint32_t* out);
TVX_API int32_t TVX_STDCALL TVX_3FileRamDownEnd(TVX_HANDLE handle, uint16_t fileNumber);
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

/* One-entry project record for a .bas or .plc program file. `record` takes
 * 100 bytes; `directoryOut` (optional) 260 bytes and receives the path up to
 * its last separator. 20002 (no record, empty path), 20011 (extension),
 * 20013 (a name of 26 characters or more, a directory of 260 or more). */
TVX_API int32_t TVX_STDCALL TVX_MakeOneFileNpj(uint8_t* record, char* directoryOut, const char* filePath);
/* Project record from a project text file (.npj): `record` takes 64 + 36 x
 * n bytes, at most TVX_PROJECT_RECORD_MAX_BYTES. An entry without a name
 * gets an empty name and type 255; a name of 26 characters or more gives
 * 20013. A missing project text file gives a record with no entries. */
TVX_API int32_t TVX_STDCALL TVX_MakeMultiFileNpj(uint8_t* record, char* directoryOut, const char* projectPath);
/* Fills every entry's slot size and hash from the files of the project's
 * directory and copies the record (64 + 36 x n bytes) into `buffer`; 20030
 * when `bufferSize` is smaller (nothing copied). */
TVX_API int32_t TVX_STDCALL TVX_MakeRealNpj(const char* projectPath, uint8_t* buffer, uint32_t bufferSize);
/* The same in place on the caller's record; `directory` ends with a
 * separator (NULL or "" for the current directory). */
TVX_API int32_t TVX_STDCALL TVX_MakeRealNpjMem(const char* directory, uint8_t* record);

/* Program archives. `password` may be NULL or "" (no password); it is
 * digested (MD5) after ASCII letters are turned to upper case. `word` is
 * stored unchanged in the archive header. The builders overwrite the slot
 * sizes of the caller's record with their estimates. The archive is built
 * in memory (about the size of the member files) and freed before return. */
TVX_API int32_t TVX_STDCALL TVX_MakeNar(const char* projectPath, const char* archivePath, const char* password,
                                        uint32_t word);
TVX_API int32_t TVX_STDCALL TVX_MakeNar2(uint8_t* record, const char* directory, const char* archivePath,
                                         const char* password, uint32_t word);
/* Build (mirrored form) and download for storing (kind 100) or for running
 * from RAM at once (kind 102). */
TVX_API int32_t TVX_STDCALL TVX_MakeNarAndDown(TVX_HANDLE handle, const char* projectPath, const char* password,
                                               uint32_t word);
TVX_API int32_t TVX_STDCALL TVX_MakeNarAndDown2(TVX_HANDLE handle, uint8_t* record, const char* directory,
                                                const char* password, uint32_t word);
TVX_API int32_t TVX_STDCALL TVX_MakeNarAndRamRun(TVX_HANDLE handle, const char* projectPath, const char* password,
                                                 uint32_t word);
TVX_API int32_t TVX_STDCALL TVX_MakeNarAndRamRun2(TVX_HANDLE handle, uint8_t* record, const char* directory,
                                                  const char* password, uint32_t word);
/* Downloads an archive unchanged under `name` (may be NULL). */
TVX_API int32_t TVX_STDCALL TVX_DownNar(TVX_HANDLE handle, const char* archivePath, const char* name);
TVX_API int32_t TVX_STDCALL TVX_DownMemNar(TVX_HANDLE handle, const void* archive, uint32_t length, const char* name);
/* Downloads an enciphered archive file to RAM and runs it (sent in the
 * mirrored form); any other file gives 20011 and sends nothing. */
TVX_API int32_t TVX_STDCALL TVX_DownNarToRamAndRun(TVX_HANDLE handle, const char* archivePath);
/* As above for a buffer in either form: a mirrored (or under 32-byte)
 * buffer is sent unchanged, an enciphered one converted and sent rounded
 * to 32 bytes. NULL gives 20002. */
TVX_API int32_t TVX_STDCALL TVX_DownMemNarToRamAndRun(TVX_HANDLE handle, const void* archive, uint32_t length);
/* Runs the program `programName` (without its terminator, at most 2044
 * characters), or resumes when it is NULL. */
TVX_API int32_t TVX_STDCALL TVX_RunNarFile(TVX_HANDLE handle, const char* programName);
TVX_API int32_t TVX_STDCALL TVX_Resume(TVX_HANDLE handle);
TVX_API int32_t TVX_STDCALL TVX_Pause(TVX_HANDLE handle);
TVX_API int32_t TVX_STDCALL TVX_Stop(TVX_HANDLE handle);
/* Uploads the controller's current project record into `buffer`
 * (TVX_PROJECT_RECORD_MAX_BYTES always suffice); 20030 when it is larger. */
TVX_API int32_t TVX_STDCALL TVX_UpCurNpjToMem(TVX_HANDLE handle, void* buffer, uint32_t bufferSize,
                                              uint32_t* receivedLength);
/* Not offered: always 3205, the arguments are not used. */
TVX_API int32_t TVX_STDCALL TVX_UpNarToProject(TVX_HANDLE handle, void* argument1, void* argument2);
TVX_API int32_t TVX_STDCALL TVX_UpNar(TVX_HANDLE handle, void* argument1, void* argument2);
TVX_API int32_t TVX_STDCALL TVX_EnumSub(TVX_HANDLE handle, void* argument1, void* argument2);
TVX_API int32_t TVX_STDCALL TVX_UpNarToMem(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                           void* argument4);
TVX_API int32_t TVX_STDCALL TVX_EnumArray(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                          void* argument4);
TVX_API int32_t TVX_STDCALL TVX_EnumLabel(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                          void* argument4);
TVX_API int32_t TVX_STDCALL TVX_EnumPara(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                         void* argument4);

/* Library files (.nlb). A .bas source makes a BASIC library, a compiled
 * .plc program a PLC library (other extensions 20011). */
TVX_API int32_t TVX_STDCALL TVX_MakeNlib(const char* sourcePath, const char* libraryPath);
/* 2 for a BASIC library, 3 for a PLC library; 20015 for any other file. */
TVX_API int32_t TVX_STDCALL TVX_GetNlibFileType(const char* libraryPath, int32_t* typeOut);
/* The library's global declarations ("global ..." lines of a BASIC
 * library, "LBL ..." lines for the labels of a PLC library) as text in
 * `textOut` of `textSize` bytes, cut to fit and terminated (nothing is
 * written when textSize is 0). */
TVX_API int32_t TVX_STDCALL TVX_GetNlibGlobalDefine(const char* libraryPath, char* textOut, uint32_t textSize);

/* ---------------------------------------------------------------------------
 * Arrays, variables, line moves, debugger and locks
 * ------------------------------------------------------------------------- */

/* Array values are 32-bit floats in the host's byte order. One request
 * carries at most 48 values on a serial link and 248 on Ethernet and PCI
 * links; a larger `count` gives TVX_ERR_OVER_LIMIT (20035). A NULL name or
 * `values` gives 20002, as does a name that would not leave the request
 * within 2044 bytes. */
TVX_API int32_t TVX_STDCALL TVX_ArrayWritef(TVX_HANDLE handle, const char* arrayName, uint32_t startIndex,
                                            uint32_t count, const float* values);
/* Reads `count` values into `values`; a reply carrying fewer gives
 * TVX_ERR_REPLY_LENGTH (20100). */
TVX_API int32_t TVX_STDCALL TVX_ArrayReadf(TVX_HANDLE handle, const char* arrayName, uint32_t startIndex,
                                           uint32_t count, float* values);
/* Reads a global variable (or an element of a global array) with the query
 * text "?NAME" ("?NAME(INDEX)") and parses the answer as a number. Names
 * must leave the query within 63 characters and contain no byte below 0x20
 * (20002). An answer that is no number gives 20100; controller errors are
 * returned unchanged. `value` is required. */
TVX_API int32_t TVX_STDCALL TVX_GlobalVarGet(TVX_HANDLE handle, const char* varName, float* value);
TVX_API int32_t TVX_STDCALL TVX_GlobalArrayGet(TVX_HANDLE handle, const char* arrayName, int32_t index,
                                               float* value);
/* Feeds `lineCount` points of a line sequence over the `axisCount` axes of
 * `axisList`; `values` holds lineCount x axisCount floats, point by point.
 * Both counts must be 0..255 (20002); their product is bounded as for
 * arrays (20035). `axisList` may be NULL only when axisCount is 0. The
 * controller's remaining count goes to `remaining` (optional). Only the low
 * byte of `mode` and `flags` is sent. */
TVX_API int32_t TVX_STDCALL TVX_MultiLineN(TVX_HANDLE handle, int32_t mode, int32_t flags, uint32_t lineCount,
                                           uint32_t axisCount, const int32_t* axisList, const float* values,
                                           int32_t* remaining);
/* One local variable of a program stopped in the debugger. Each output is
 * optional: `valueOut` a 32-bit value, `extraOut` 8 bytes, `nameOut` the
 * name, always terminated; `nameOut` must have room for 2023 bytes (the
 * longest name a reply can carry). The meaning of the selectors is the
 * controller's. */
TVX_API int32_t TVX_STDCALL TVX_EnumLocal(TVX_HANDLE handle, int32_t selector, uint32_t subSelector, uint32_t index,
                                          int32_t* valueOut, uint8_t* extraOut, char* nameOut);
/* Not offered: always 3205, the arguments are not used. */
TVX_API int32_t TVX_STDCALL TVX_ModifyLocal(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                            void* argument4, void* argument5);
TVX_API int32_t TVX_STDCALL TVX_EnumVar(TVX_HANDLE handle, void* argument1, void* argument2, void* argument3,
                                        void* argument4, void* argument5);
/* Breakpoints by program file name and line. A NULL name, or one that
 * would not leave the request within 2044 bytes, gives 20002. Only the low
 * byte of `option` is sent. */
TVX_API int32_t TVX_STDCALL TVX_BreakAdd(TVX_HANDLE handle, const char* fileName, uint32_t lineNumber,
                                         uint32_t option);
TVX_API int32_t TVX_STDCALL TVX_BreakDel(TVX_HANDLE handle, const char* fileName, uint32_t lineNumber);
TVX_API int32_t TVX_STDCALL TVX_BreakClear(TVX_HANDLE handle);
/* Single-steps the controller's program; the meaning of the arguments is
 * the controller's. Sent: `first` as 16 bits, the low bytes of `second` and
 * `third`, then `fifth` (32 bits) before the low byte of `fourth`. */
TVX_API int32_t TVX_STDCALL TVX_StepRun(TVX_HANDLE handle, uint32_t first, uint32_t second, uint32_t third,
                                        uint32_t fourth, int32_t fifth);
/* Leaves online debugging. */
TVX_API int32_t TVX_STDCALL TVX_CancelOnline(TVX_HANDLE handle);
/* Asks what `name` (below 256 characters) denotes: `typeOut` (required) a
 * 16-bit type code, `secondOut` (optional) a 32-bit value, `thirdOut`
 * (optional) 8 bytes, written only when the controller sent them. */
TVX_API int32_t TVX_STDCALL TVX_GetStringType(TVX_HANDLE handle, const char* name, uint32_t selector,
                                              uint16_t* typeOut, int32_t* secondOut, uint8_t* thirdOut);
/* Drains the controller's print output into `buffer` (not terminated;
 * `received` gives the length). Pieces are fetched while the controller
 * holds more and at least 2048 bytes of room are left; the rest stays on
 * the controller for the next call. A piece that does not fit gives 20030
 * with `received` set to what was stored before it (the piece is lost).
 * `buffer` and `received` are required. */
TVX_API int32_t TVX_STDCALL TVX_ReadMessage(TVX_HANDLE handle, char* buffer, uint32_t bufferSize,
                                            uint32_t* received);
/* The controller's user lock: sends "Lock(PASSWORD)" or "UnLock(PASSWORD)"
 * as a text command without waiting for its answer; the controller keeps
 * the password and decides. A NULL password, one longer than 15
 * characters, or one with a byte below 0x20 gives 20002. */
TVX_API int32_t TVX_STDCALL TVX_Lock(TVX_HANDLE handle, const char* password);
TVX_API int32_t TVX_STDCALL TVX_UnLock(TVX_HANDLE handle, const char* password);
/* The host-side lock of a handle, for threads that share it: BasicP waits
 * without time limit until the lock is free and takes it; BasicV gives it
 * back (giving back a free lock has no effect). The text command functions
 * take the same lock, so a thread holding it keeps other threads' text
 * commands waiting. TVX_Close also waits for it: give it back before
 * closing. A thread waiting in BasicP when the handle is closed gets
 * 20009. */
TVX_API int32_t TVX_STDCALL TVX_Signal_BasicP(TVX_HANDLE handle);
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
 * receives (a link's receive thread) the frame, possibly on several threads
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

/* Installs `callback` (NULL removes it) with `context`. With `debugLevel`
 * not 0 the library's debug lines reach it too, each with the debug level
 * in force (0: frames only). The function waits at most 1 second for calls
 * of a previous callback still running: on 0 none is running any more; on
 * 20003 one had not returned by then (a callback that blocks) and its
 * context must be kept. The new callback is installed either way. Costs one
 * test per frame while no callback is set. A thread is never cancelled
 * inside a callback. */
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
 * SRTT + max(1 ms, 4 x RTTVAR) rounded up to whole milliseconds, then
 * raised to the floor and lowered to the cap the caller gives; later
 * resends double it, up to the cap. Until a round trip was measured the
 * first wait is the base wait within floor and cap.
 *
 * Round trips are measured under either policy, only from requests answered
 * without a resend (a reply to a resent request cannot tell which copy it
 * answers). Under either policy the waits of a transaction together never
 * exceed its budget (TVX_SetTimeOut), and the link's count of sends per
 * transaction stays the same.
 * ------------------------------------------------------------------------- */

#define TVX_RESEND_FIXED 0    /* the base wait, doubling (the default) */
#define TVX_RESEND_ADAPTIVE 1 /* the measured estimate within floor and cap */

/* Chooses the handle's resend policy. For TVX_RESEND_ADAPTIVE `floorMs` is
 * at least 1 and `capMs` from `floorMs` to 60000; 20002 for other values,
 * for another policy, or for the adaptive policy on a link other than
 * Ethernet (a serial bus takes no second request while one is answered).
 * TVX_RESEND_FIXED ignores floor and cap. The measured round trips are
 * kept. Waits for a transaction in flight on another thread. */
TVX_API int32_t TVX_STDCALL TVX_SetResendPolicy(TVX_HANDLE handle, int32_t policy, uint32_t floorMs,
                                                uint32_t capMs);
/* The handle's current estimate: the wait before the next transaction's
 * first resend in milliseconds under the policy in force, and the smoothed
 * round trip SRTT and its variation RTTVAR in microseconds (both 0 until a
 * round trip was measured). No pointer may be NULL (20002). Waits for a
 * transaction in flight on another thread. */
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

/* Stores the three feature values sent with every later TVX_ELcdOpen on
 * this handle (all 0 at first). Sends nothing. */
TVX_API int32_t TVX_STDCALL TVX_ELcdSetFeature(TVX_HANDLE handle, uint16_t featureA, uint16_t featureB,
                                               uint16_t featureC);
/* Opens a session on the screen and fills `info`. A NULL `info` gives 20002
 * before the handle is looked at. */
TVX_API int32_t TVX_STDCALL TVX_ELcdOpen(TVX_HANDLE handle, uint32_t lcdNumber, TVX_LcdScreenInfo* info);
/* Ends the session; sent without waiting for a reply (the send's result). */
TVX_API int32_t TVX_STDCALL TVX_ELcdClose(TVX_HANDLE handle, uint32_t lcdNumber);
/* Asks which regions changed. Either output may be NULL, not both (20002).
 * The region count is stored first; more than 5 gives 20100 and copies no
 * region (nor the check info). */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataCheck(TVX_HANDLE handle, uint32_t lcdNumber, TVX_LcdRegionList* regions,
                                              TVX_LcdCheckInfo* checkInfo);
/* Fetches one chunk of region `regionIndex` (sent as its low 8 bits) from
 * `position`. `next` (optional) receives the position to ask next; the
 * region is complete when it is not greater than `position`. With `raw`
 * the chunk is stored as it came (20100 when it claims more than 2048
 * bytes or more than the reply carries). With `pixels` it is painted into
 * the buffer described by `screen` (required then): 5028 for a chunk kind
 * other than 1, 5029 for a screen not of 16 bits per pixel, 20002 for a
 * region index of 5 or more, a region count over 5, or a width or height
 * of 0 or less. `raw` and `pixels` may not both be NULL (20002). */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGet(TVX_HANDLE handle, uint32_t lcdNumber, uint32_t regionIndex,
                                            uint32_t position, uint32_t* next, TVX_LcdRawChunk* raw,
                                            const TVX_LcdScreen* screen, uint16_t* pixels);
/* As TVX_ELcdDataGet, with colours converted from 5-5-5 to 5-6-5 before
 * painting (red and green up one bit, the lowest green bit 0). */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGet2(TVX_HANDLE handle, uint32_t lcdNumber, uint32_t regionIndex,
                                             uint32_t position, uint32_t* next, TVX_LcdRawChunk* raw,
                                             const TVX_LcdScreen* screen, uint16_t* pixels);
/* Ends a refresh pass; 20100 when the controller answers with pixel data. */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetEnd(TVX_HANDLE handle, uint32_t lcdNumber);
/* Fetches every region listed in `screen` into `pixels` (a region count of
 * 0 or less: nothing to do). A failing fetch ends the call with its
 * result; the pixels painted so far stay. */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAll(TVX_HANDLE handle, uint32_t lcdNumber, const TVX_LcdScreen* screen,
                                               uint16_t* pixels);
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAll2(TVX_HANDLE handle, uint32_t lcdNumber, const TVX_LcdScreen* screen,
                                                uint16_t* pixels);
/* Checks, stores the changed regions (and their count) in `screen`, then
 * fetches them. No changed region: count 0 and nothing fetched. */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataCheckAndGetAll(TVX_HANDLE handle, uint32_t lcdNumber, TVX_LcdScreen* screen,
                                                       uint16_t* pixels);
TVX_API int32_t TVX_STDCALL TVX_ELcdDataCheckAndGetAll2(TVX_HANDLE handle, uint32_t lcdNumber,
                                                        TVX_LcdScreen* screen, uint16_t* pixels);
/* As TVX_ELcdDataGetAll, calling `onProgress` (may be NULL) before every
 * `every`-th continuation fetch, counted across the regions; never before
 * a region's first fetch. `every` of 0 or less: never called. */
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAllWithEvents(TVX_HANDLE handle, uint32_t lcdNumber,
                                                         const TVX_LcdScreen* screen, uint16_t* pixels,
                                                         int32_t every, TVX_LcdProgressCallback onProgress);
TVX_API int32_t TVX_STDCALL TVX_ELcdDataGetAll2WithEvents(TVX_HANDLE handle, uint32_t lcdNumber,
                                                          const TVX_LcdScreen* screen, uint16_t* pixels,
                                                          int32_t every, TVX_LcdProgressCallback onProgress);
/* Touch input at (x, y); `action` is sent as its low 8 bits. */
TVX_API int32_t TVX_STDCALL TVX_ELcdMouseSet(TVX_HANDLE handle, uint32_t lcdNumber, int32_t action, uint16_t x,
                                             uint16_t y);
TVX_API int32_t TVX_STDCALL TVX_ELcdMouseSet2(TVX_HANDLE handle, uint32_t lcdNumber, int32_t action, uint16_t x,
                                              uint16_t y, uint16_t extra);
/* Key and virtual-key input; `state` is sent as its low 8 bits. */
TVX_API int32_t TVX_STDCALL TVX_ELcdKeySet(TVX_HANDLE handle, uint32_t lcdNumber, uint16_t key, int32_t state);
TVX_API int32_t TVX_STDCALL TVX_ELcdVKeySet(TVX_HANDLE handle, uint32_t lcdNumber, uint16_t key, int32_t state);
/* Encoder input. */
TVX_API int32_t TVX_STDCALL TVX_ELcdCoderSet(TVX_HANDLE handle, uint16_t coderA, uint16_t coderB, int32_t coderC,
                                             int32_t coderD);

/* ---------------------------------------------------------------------------
 * Camera images
 *
 * Images of the controller's vision module, fetched whole into a caller's
 * buffer of width x height 16-bit pixels (same layout and encoding as the
 * LCD). Only images of 16 bits per pixel can be fetched.
 * ------------------------------------------------------------------------- */

/* Width, height, bits per pixel and the controller's further value; every
 * output optional. */
TVX_API int32_t TVX_STDCALL TVX_NVLatinImgGetInfo(TVX_HANDLE handle, uint16_t imageNumber, int32_t* widthOut,
                                                  int32_t* heightOut, int32_t* bitsOut, int32_t* extraOut);
/* Fetches the whole image. The size outputs (optional) are written as soon
 * as the description arrives, also when the fetch then fails: 5029 for
 * another depth than 16, 20030 when `bufferSize` bytes are fewer than
 * width x height x 2, 20002 for a NULL `pixels`, 20100 for a chunk that
 * claims more than it carries or would write outside the image. */
TVX_API int32_t TVX_STDCALL TVX_NVLatinImgGet(TVX_HANDLE handle, uint16_t imageNumber, int32_t* widthOut,
                                              int32_t* heightOut, int32_t* bitsOut, uint16_t* pixels,
                                              int32_t bufferSize);
/* As TVX_NVLatinImgGet, colours converted from 5-5-5 to 5-6-5. */
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

/* Starts (or restarts) upload `bufferNumber` with the items of `itemText`
 * (at most 2025 characters, else 20035). `cycleValue` goes to the controller
 * unchanged (the push period in milliseconds). Results: 20005 when all four
 * buffers are in use by other numbers, 20037 for a 33rd item, 3201 for a
 * name of 48 characters or more, 3203 for a character that cannot start a
 * name (a line break needs a continuation underscore before it), 20038 when
 * the controller accepted another number of items, 20100 for a layout that
 * does not fit its reply or its block. A restart that fails leaves the
 * buffer inactive. */
TVX_API int32_t TVX_STDCALL TVX_CycleUpEnable(TVX_HANDLE handle, int32_t bufferNumber, uint32_t cycleValue,
                                              const char* itemText);
/* Stops upload `bufferNumber`, or every upload for -1. The buffer is
 * inactive afterwards even when the request fails. */
TVX_API int32_t TVX_STDCALL TVX_CycleUpDisable(TVX_HANDLE handle, int32_t bufferNumber);
/* Asks for one block at once and keeps it as the latest; -1 does so for
 * every active buffer and returns the first error. 20002 when the buffer is
 * not active. */
TVX_API int32_t TVX_STDCALL TVX_CycleUpForceOnce(TVX_HANDLE handle, int32_t bufferNumber);
/* Blocks received since the buffer was enabled; 0 when the buffer is not
 * active; 20009 (as a value) for an invalid handle. Takes no lock. */
TVX_API uint32_t TVX_STDCALL TVX_CycleUpGetRecvTimes(TVX_HANDLE handle, int32_t bufferNumber);
/* Element `index` of item `itemName` (any case) from the latest block, as a
 * double or as a 32-bit integer (floating-point values truncated toward
 * zero; NaN and values outside the range give INT32_MIN). -1 searches every
 * active buffer. 20002 when the buffer is not active, 20039 when no item of
 * that name holds the index. */
TVX_API int32_t TVX_STDCALL TVX_CycleUpReadBuff(TVX_HANDLE handle, int32_t bufferNumber, const char* itemName,
                                                uint32_t index, double* valueOut);
TVX_API int32_t TVX_STDCALL TVX_CycleUpReadBuffInt(TVX_HANDLE handle, int32_t bufferNumber, const char* itemName,
                                                   uint32_t index, int32_t* valueOut);
/* Registers `callback` for the text the controller pushes (the output of a
 * running program) and tells the controller to send it ("IFAUTOUP_PORT=1";
 * a NULL callback sends "IFAUTOUP_PORT=0" and removes it). When the command
 * fails the previous callback stays. The callback runs on the link's
 * receive thread (see the threading rules at the top). It is never called
 * once TVX_Close has returned: Close waits for a call in progress on another
 * thread to return, so a callback must not wait for the thread that closes
 * its handle. */
TVX_API int32_t TVX_STDCALL TVX_SetAutoUpCallBack(TVX_HANDLE handle, TVX_AutoUpCallback callback);
/* Upper-cases the ASCII letters of `text` in place; returns `text`. */
TVX_API char* TVX_CDECL strupr(char* text);
/* Lower-cases, in place, every character the C library counts as upper
 * case; returns `text`. */
TVX_API char* TVX_CDECL strlwr(char* text);

#ifdef __cplusplus
}
#endif

#endif /* TAVRIX_H */
