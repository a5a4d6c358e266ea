// A settings header that reaches up into the frame room of core: the layer
// check must refuse it, though both sit in the same layer.
#include "core/frame/program_state.h"
