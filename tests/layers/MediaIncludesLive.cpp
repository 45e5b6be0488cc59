// Never builds, on purpose: media sits below live, so the build gives a
// media source no way to reach a live header. The test that builds this
// file passes when the compiler cannot find the header.
#include "live/LiveSession.h"
#include "media/PictureRows.h"
