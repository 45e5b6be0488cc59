#include "tools/sim/Mpeg4Encoder.h"

#include <xvid.h>

#include <algorithm>
#include <mutex>

namespace ambro::sim {

namespace {

void initialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        xvid_gbl_init_t init{};
        init.version = XVID_VERSION;
        xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
    });
}

}  // namespace

Mpeg4Encoder::Mpeg4Encoder(int width, int height)
    : width_(width), height_(height),
      output_(static_cast<std::size_t>(width) * height * 3 + 4096) {
    initialiseLibrary();
    xvid_enc_create_t create{};
    create.version = XVID_VERSION;
    create.width = width;
    create.height = height;
    create.fincr = 1;
    create.fbase = kFramesPerSecond;
    create.max_key_interval = kKeyInterval;
    create.max_bframes = 0;
    create.num_threads = 0;
    for (int i = 0; i < 3; ++i) {
        create.min_quant[i] = 2;
        create.max_quant[i] = 31;
    }
    if (xvid_encore(nullptr, XVID_ENC_CREATE, &create, nullptr) >= 0) handle_ = create.handle;
}

Mpeg4Encoder::~Mpeg4Encoder() {
    if (handle_) xvid_encore(handle_, XVID_ENC_DESTROY, nullptr, nullptr);
}

Mpeg4Encoder::Coded Mpeg4Encoder::encode(const YuvPicture& picture, int quantiser, bool forceKey,
                                         bool bottomRowFirst) {
    Coded coded;
    if (!handle_ || picture.width != width_ || picture.height != height_) return coded;
    xvid_enc_frame_t frame{};
    frame.version = XVID_VERSION;
    frame.input.csp = XVID_CSP_PLANAR | (bottomRowFirst ? XVID_CSP_VFLIP : 0);
    frame.input.plane[0] = const_cast<std::uint8_t*>(picture.y.data());
    frame.input.plane[1] = const_cast<std::uint8_t*>(picture.u.data());
    frame.input.plane[2] = const_cast<std::uint8_t*>(picture.v.data());
    frame.input.stride[0] = picture.width;
    frame.input.stride[1] = picture.chromaWidth();
    frame.input.stride[2] = picture.chromaWidth();
    frame.vop_flags = XVID_VOP_HALFPEL;
    frame.motion = XVID_ME_HALFPELREFINE16 | XVID_ME_DETECT_STATIC_MOTION;
    frame.type = forceKey ? XVID_TYPE_IVOP : XVID_TYPE_AUTO;
    frame.quant = std::clamp(quantiser, 2, 31);
    frame.bitstream = output_.data();
    frame.length = static_cast<int>(output_.size());
    const int length = xvid_encore(handle_, XVID_ENC_ENCODE, &frame, nullptr);
    if (length <= 0) return coded;
    coded.bytes.assign(output_.begin(), output_.begin() + length);
    coded.key = (frame.out_flags & XVID_KEYFRAME) != 0;
    return coded;
}

}  // namespace ambro::sim
