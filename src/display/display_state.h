// The per-handle state of the remote display: the three feature values a
// screen open sends. Kept in the handle's display extension, created by the
// first TVX_ELcdSetFeature.
#pragma once

#include <cstdint>

#include "link/handle.h"

namespace tvx {

inline constexpr int kLcdFeatureCount = 3;

// Stores the feature values; false when the state cannot be allocated.
bool setLcdFeatures(ControllerHandle& h, const uint16_t (&values)[kLcdFeatureCount]);
// The stored values, zeros when none were set.
void lcdFeatures(const ControllerHandle& h, uint16_t (&values)[kLcdFeatureCount]);
// Installs the function that frees the state with the record (at load).
void installDisplayExtension();

}  // namespace tvx
