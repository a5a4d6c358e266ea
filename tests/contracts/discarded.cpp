// A failure dropped on the floor: the build must refuse it.
#include "base/result.h"

orvex::Result Open();
void Caller() {
  Open();
}
