// A key line that reaches up into the timing room: the check must refuse it.
#pragma once

#include "engine/timing/keyer_engine.h"
