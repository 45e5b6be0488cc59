#include "live/PictureLayout.h"

namespace ambro::live {

namespace {

// The two fitted forms compare and scale in single precision.
bool widerThanArea(int pw, int ph, int width, int height) {
    return static_cast<float>(pw) / static_cast<float>(width) >
           static_cast<float>(ph) / static_cast<float>(height);
}

int scaled(int length, int to, int from) {
    return static_cast<int>(static_cast<float>(length) *
                            (static_cast<float>(to) / static_cast<float>(from)));
}

int nineTenths(int length) { return static_cast<int>(static_cast<float>(length) * 0.9f); }

PixelRect fittedByWidth(int pw, int ph, int w, int height) {
    const int h = scaled(ph, w, pw);
    return {PictureLayout::kMargin, (height - h) / 2, w, h};
}

PixelRect fittedByHeight(int pw, int ph, int width, int h) {
    const int w = scaled(pw, h, ph);
    return {(width - w) / 2, PictureLayout::kMargin, w, h};
}

}  // namespace

DrawPlan PictureLayout::plan(const DrawRequest& request) {
    DrawPlan plan;
    const int pw = request.pictureWidth;
    const int ph = request.pictureHeight;
    const int width = request.clientWidth;
    const int height = request.clientHeight - request.comboHeight;
    if (request.fullScreen) {
        plan.destination = {0, 0, width, request.clientHeight};
    } else {
        if (clearBackground_) {
            plan.clearBackground = true;
            plan.clearArea = {0, 0, width, height};
            clearBackground_ = false;
        }
        if (!rotation_) {
            rotation_ = 0;
            plan.requestSmallImageSize = request.screenWidth < request.screenHeight &&
                                         request.screenWidth >= kPortraitMinWidth &&
                                         request.screenHeight >= kPortraitMinHeight;
        }
        if (pw > 0 && ph > 0 && width > 0 && height > 0) {
            plan.destination = destination(pw, ph, width, height);
        }
    }
    if (pw != lastWidth_ || ph != lastHeight_) {
        clearBackground_ = true;
        lastWidth_ = pw;
        lastHeight_ = ph;
    }
    return plan;
}

PixelRect PictureLayout::destination(int pw, int ph, int width, int height) const {
    if (rotation_ == 1) {
        if (widerThanArea(pw, ph, width, height)) {
            return fittedByWidth(pw, ph, nineTenths(width), height);
        }
        return fittedByHeight(pw, ph, width, nineTenths(height));
    }
    if (pw == 352) {
        const int w = width - 2 * kMargin;
        const int h = ph * w / pw;
        return {kMargin, (height - h) / 2, w, h};
    }
    if (pw == 320) {
        if (widerThanArea(pw, ph, width, height)) {
            return fittedByWidth(pw, ph, width - 2 * kMargin, height);
        }
        return fittedByHeight(pw, ph, width, height);
    }
    return {(width - pw) / 2, (height - ph) / 2, pw, ph};
}

int PictureLayout::toggleRotation() {
    rotation_ = rotation_ == 1 ? 0 : 1;
    return *rotation_;
}

bool sourceUpsideDown(int serverKind, int pictureWidth, int pictureHeight) {
    switch (serverKind) {
        case 519:
        case 520: return true;
        case 505:
        case 506: return pictureWidth == 176 || pictureHeight == 112;
        default: return false;
    }
}

BottomRowLayout bottomRowLayout(int clientWidth, int clientHeight, int comboHeight) {
    const int column = clientWidth / 5;
    const int top = clientHeight - comboHeight;
    return {{0, top, column, comboHeight},
            {column, top, column, comboHeight},
            {2 * column, top, column, comboHeight},
            {3 * column, top, clientWidth - 3 * column, comboHeight}};
}

StatusTextPlan statusTextPlan(StatusMessage message, int clientWidth, int clientHeight) {
    const PixelRect client{0, 0, clientWidth, clientHeight};
    if (message == StatusMessage::VideoLost) return {"Video Lost", true, client};
    return {"Error!! Please Setup Resolution", false, client};
}

}  // namespace ambro::live
