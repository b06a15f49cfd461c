// What the tvx tool uses of the library beyond include/tavrix.h. tvx links
// one copy of the library in and includes this header alone from src/, so
// the internals it depends on are listed in one place and a change to any
// of them is seen here. Nothing of the library includes it, and it is not
// installed.
#pragma once

#include "base/ascii.h"                // upperAscii: serial port names
#include "base/bytes.h"                // getU16, getI32: fields of traced frames
#include "channel/request_names.h"     // requestName: the name of a traced request
#include "frame/library_frame.h"       // libraryLoad, libraryUnload: the tool's own load and unload
#include "packaging/archive_reader.h"  // ArchiveReader: tvx nar inspect (the cipher is not exported)
#include "platform/serial_port.h"      // lastSerialFailure: why a serial port did not open
#include "transfer/firmware_image.h"   // prepareFirmwareImage: tvx firmware check
