#include "engine/lock_gate.h"

#include "channel/request_codes.h"
#include "engine/controller.h"

namespace tvx::sim {

bool LockGate::closedWhenLocked(uint16_t command) {
    switch (command) {
        case req::archiveDownload:
        case req::archiveRamRun:
        case req::archiveNamedDownload:
        case req::fileDown:
        case req::fileUp:
        case req::fileDelete:
        case req::stepRun:
        case req::cancelOnline:
        case req::stringType:
        case req::enumLocal:
        case req::breakAdd:
        case req::breakDelete:
        case req::breakClear:
            return true;
        default:
            return false;
    }
}

int32_t LockGate::refusal(Controller& controller, uint16_t command) {
    return controller.console().interpreter().locked() && closedWhenLocked(command) ? kStatusLocked : 0;
}

}  // namespace tvx::sim
