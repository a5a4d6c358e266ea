// A base header that reaches up into the windows: the layer check must refuse it.
#include "ui/pkt_form.h"
