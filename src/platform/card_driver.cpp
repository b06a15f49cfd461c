#include "platform/card_driver.h"

#include <cstdlib>
#include <cstring>

namespace tvx::platform {
namespace {

inline constexpr const char* kStandInScheme = "sim:";

enum class Choice { system, standIn, none };

// Reads the variable at every call, so that a program (or a test) may point
// the library at another stand-in between opens.
Choice chooseDriver(uint32_t* ip, uint16_t* port) {
    const char* value = std::getenv(kCardDriverVariable);
    if (!value || !*value) return Choice::system;
    const size_t schemeLength = std::strlen(kStandInScheme);
    if (std::strncmp(value, kStandInScheme, schemeLength) != 0) return Choice::none;
    return standin_cards::parseEndpoint(value + schemeLength, ip, port) ? Choice::standIn : Choice::none;
}

}  // namespace

int countCardInterfaces(CardClass cls, int limit) {
    uint32_t ip = 0;
    uint16_t port = 0;
    switch (chooseDriver(&ip, &port)) {
        case Choice::system: return system_cards::count(cls, limit);
        case Choice::standIn: return standin_cards::count(ip, port, cls, limit);
        case Choice::none: break;
    }
    return 0;
}

CardOpenResult openCardInterface(CardClass cls, int index, std::unique_ptr<CardDevice>* out) {
    uint32_t ip = 0;
    uint16_t port = 0;
    switch (chooseDriver(&ip, &port)) {
        case Choice::system: return system_cards::open(cls, index, out);
        case Choice::standIn: return standin_cards::open(ip, port, cls, index, out);
        case Choice::none: break;
    }
    return CardOpenResult::noDeviceSet;
}

}  // namespace tvx::platform
