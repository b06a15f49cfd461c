// Result codes used inside the library. They are the public constants of
// tavrix.h under C++ names so that logic never compares bare numbers.
#pragma once

#include "tavrix.h"

namespace tvx::rc {

inline constexpr int32_t ok = TVX_OK;

inline constexpr int32_t controllerState = TVX_ERR_CONTROLLER_STATE;
inline constexpr int32_t notSupported = TVX_ERR_NOT_SUPPORTED;
inline constexpr int32_t discoveryArgument = TVX_ERR_DISCOVERY_ARGUMENT;
inline constexpr int32_t cipherKey = TVX_ERR_CIPHER_KEY;
// setDebugLevel while the level is above 3 (the same value as discoveryArgument).
inline constexpr int32_t debugLevelState = TVX_ERR_DISCOVERY_ARGUMENT;

inline constexpr int32_t chunkKind = TVX_ERR_CHUNK_KIND;
inline constexpr int32_t pixelDepth = TVX_ERR_PIXEL_DEPTH;

inline constexpr int32_t cannotFrame = TVX_CH_CANNOT_FRAME;
inline constexpr int32_t noReply = TVX_CH_NO_REPLY;
inline constexpr int32_t mismatch = TVX_CH_MISMATCH;
inline constexpr int32_t badFrame = TVX_CH_BAD_FRAME;
inline constexpr int32_t frameTooLong = TVX_CH_FRAME_TOO_LONG;
inline constexpr int32_t wrongFunction = TVX_CH_WRONG_FUNCTION;
inline constexpr int32_t exceptionBase = TVX_CH_EXCEPTION_BASE;

inline constexpr int32_t notOpen = TVX_ERR_NOT_OPEN;
inline constexpr int32_t badArgument = TVX_ERR_BAD_ARGUMENT;
inline constexpr int32_t timeLimit = TVX_ERR_TIME_LIMIT;
inline constexpr int32_t noHandle = TVX_ERR_NO_HANDLE;
inline constexpr int32_t osError = TVX_ERR_OS;
inline constexpr int32_t serialError = TVX_ERR_SERIAL;
inline constexpr int32_t ethernetError = TVX_ERR_ETHERNET;
inline constexpr int32_t invalidHandle = TVX_ERR_INVALID_HANDLE;
inline constexpr int32_t linkWrite = TVX_ERR_LINK_WRITE;
inline constexpr int32_t fileError = TVX_ERR_FILE;
inline constexpr int32_t fileLength = TVX_ERR_FILE_LENGTH;
inline constexpr int32_t nameTooLong = TVX_ERR_NAME_TOO_LONG;
inline constexpr int32_t fileNotFound = TVX_ERR_FILE_NOT_FOUND;
inline constexpr int32_t libraryFile = TVX_ERR_LIBRARY_FILE;
inline constexpr int32_t fileUnusable = TVX_ERR_FILE_16;  // compiled PLC program not usable
inline constexpr int32_t firmwareImage = TVX_ERR_FIRMWARE_IMAGE;
inline constexpr int32_t firmwareMismatch = TVX_ERR_FIRMWARE_MISMATCH;
inline constexpr int32_t unsupported = TVX_ERR_UNSUPPORTED;
inline constexpr int32_t pciOpen = TVX_ERR_PCI_OPEN;
inline constexpr int32_t pciDeviceSet = TVX_ERR_PCI_DEVICE_SET;
inline constexpr int32_t pciNoInterface = TVX_ERR_PCI_NO_INTERFACE;
inline constexpr int32_t pciDriver = TVX_ERR_PCI_DRIVER;
inline constexpr int32_t pciNoCard = TVX_ERR_PCI_NO_CARD;
inline constexpr int32_t pciChannel = TVX_ERR_PCI_CHANNEL;
inline constexpr int32_t bufferTooSmall = TVX_ERR_BUFFER_TOO_SMALL;
inline constexpr int32_t overLimit = TVX_ERR_OVER_LIMIT;
inline constexpr int32_t replyLength = TVX_ERR_REPLY_LENGTH;

}  // namespace tvx::rc
