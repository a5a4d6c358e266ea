// The real outputs: port lines by port code, sidetone by device number, with
// fallbacks (PC speaker or MIDI missing: the sound card, through the sound
// server where one runs; no sound at all: a silent output, so keying still
// works).
#pragma once

#include "engine/timing/keyer_engine.h"

namespace orvex::engine {

// ORVEX_AUDIO=none turns every sidetone into the silent output (tests, or a
// station that wants the port keyed without a sound); =pulse or =portaudio
// takes only that way to the sound card.
EngineOutputs SystemOutputs();

}  // namespace orvex::engine
