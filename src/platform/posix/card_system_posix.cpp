// No card driver exists for this system: it has no cards of either class.
#include "platform/card_driver.h"

namespace tvx::platform::system_cards {

int count(CardClass, int) { return 0; }

CardOpenResult open(CardClass, int, std::unique_ptr<CardDevice>*) { return CardOpenResult::noDeviceSet; }

}  // namespace tvx::platform::system_cards
