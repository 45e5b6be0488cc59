#pragma once

namespace ambro::media {

// Which versions of the hot loops run. The AVX2 versions are taken when the
// processor has AVX2, unless the plain versions were asked for: by
// forcePlainCode, or by the environment variable AMBRO_PLAIN_CODE=1 at the
// first call. Both versions give the same bytes; the tests run both.
bool avx2CodeEnabled();
// Returns whether the plain versions were forced before.
bool forcePlainCode(bool plain);

}  // namespace ambro::media
