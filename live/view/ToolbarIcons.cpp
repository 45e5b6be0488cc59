#include "live/view/ToolbarIcons.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The icons are compiled into this library; a static library has to name its
// resource once so that the linker keeps it.
static void keepIconResources() { Q_INIT_RESOURCE(live_view_icons); }

namespace ambro::live {

namespace {

using ptz::DomeAction;

constexpr int kIconSize = 16;

QString actionGlyph(DomeAction action) {
    switch (action) {
        case DomeAction::PanLeft: return QStringLiteral("pan_left");
        case DomeAction::PanRight: return QStringLiteral("pan_right");
        case DomeAction::TiltUp: return QStringLiteral("tilt_up");
        case DomeAction::TiltDown: return QStringLiteral("tilt_down");
        case DomeAction::ZoomOut: return QStringLiteral("zoom_out");
        case DomeAction::ZoomIn: return QStringLiteral("zoom_in");
        case DomeAction::Home: return QStringLiteral("home");
        case DomeAction::AutoMove: return QStringLiteral("auto_move");
        case DomeAction::FocusNear: return QStringLiteral("focus_near");
        case DomeAction::FocusFar: return QStringLiteral("focus_far");
        case DomeAction::AutoFocus: return QStringLiteral("auto_focus");
    }
    return QStringLiteral("move_function");
}

QString kindGlyph(ButtonKind kind) {
    switch (kind) {
        case ButtonKind::Exit: return QStringLiteral("exit");
        case ButtonKind::CameraFocusFunction: return QStringLiteral("focus_function");
        case ButtonKind::CameraMoveFunction: return QStringLiteral("move_function");
        case ButtonKind::CameraPresetFunction: return QStringLiteral("preset_function");
        case ButtonKind::ImageFunction: return QStringLiteral("image_function");
        case ButtonKind::IoModuleSetting: return QStringLiteral("io_function");
        case ButtonKind::MonitoringFunction: return QStringLiteral("monitoring_function");
        case ButtonKind::ViewCameraStatus: return QStringLiteral("camera_status");
        case ButtonKind::BackToCameraFunction: return QStringLiteral("back_camera");
        case ButtonKind::CameraMove: return QStringLiteral("move_function");
        case ButtonKind::GoPreset: return QStringLiteral("preset");
        case ButtonKind::GoPresetElse: return QStringLiteral("preset_else");
        case ButtonKind::NextPage: return QStringLiteral("next_page");
        case ButtonKind::PreviousPage: return QStringLiteral("previous_page");
        case ButtonKind::HighQuality: return QStringLiteral("quality_high");
        case ButtonKind::MidQuality: return QStringLiteral("quality_mid");
        case ButtonKind::LowQuality: return QStringLiteral("quality_low");
        case ButtonKind::ImageRotate: return QStringLiteral("rotate");
        case ButtonKind::ImageSnapshot: return QStringLiteral("snapshot");
        case ButtonKind::ImageSize320x240: return QStringLiteral("size_large");
        case ButtonKind::ImageSize176x144: return QStringLiteral("size_small");
        case ButtonKind::ChangeSpeed: return QStringLiteral("speed");
        case ButtonKind::IoModule: return QStringLiteral("module");
        case ButtonKind::BackToModuleFunction: return QStringLiteral("back_module");
        case ButtonKind::GetInput: return QStringLiteral("get_input");
        case ButtonKind::ForceOutputFunction: return QStringLiteral("force_output");
        case ButtonKind::BackToInOutFunction: return QStringLiteral("back_inout");
        case ButtonKind::GetInputNumber: return QStringLiteral("input");
        case ButtonKind::ForceOutput: return QStringLiteral("output");
        case ButtonKind::CurrentCameraMonitoring: return QStringLiteral("monitor_current");
        case ButtonKind::StopCurrentCameraMonitoring: return QStringLiteral("monitor_current_stop");
        case ButtonKind::StartAllMonitoring: return QStringLiteral("monitor_all");
        case ButtonKind::StopAllMonitoring: return QStringLiteral("monitor_all_stop");
    }
    return QStringLiteral("exit");
}

QString resourcePath(const QString& glyph) {
    return QStringLiteral(":/live/icons/%1.svg").arg(glyph);
}

// The glyph at `scale` times 16 pixels, with `number` written in its middle
// when it is not empty.
QPixmap renderGlyph(const QString& glyph, const QString& number, int scale) {
    keepIconResources();
    QPixmap pixmap(kIconSize * scale, kIconSize * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer renderer(resourcePath(glyph));
    renderer.render(&painter, QRectF(0, 0, pixmap.width(), pixmap.height()));
    if (!number.isEmpty()) {
        QFont font(QStringLiteral("Arial"));
        font.setBold(true);
        font.setPixelSize((number.size() > 1 ? 8 : 10) * scale);
        painter.setFont(font);
        painter.setPen(QColor(0x21, 0x21, 0x21));
        painter.drawText(pixmap.rect(), Qt::AlignCenter, number);
    }
    painter.end();
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

QIcon iconOf(const QString& glyph, const QString& number) {
    QIcon icon;
    icon.addPixmap(renderGlyph(glyph, number, 1));
    icon.addPixmap(renderGlyph(glyph, number, 2));
    return icon;
}

}  // namespace

QString toolbarGlyph(const ToolbarButton& button) {
    if (button.kind == ButtonKind::CameraMove && button.action) return actionGlyph(*button.action);
    return kindGlyph(button.kind);
}

bool showsNumber(const ToolbarButton& button) {
    switch (button.kind) {
        case ButtonKind::GoPreset:
        case ButtonKind::ChangeSpeed:
        case ButtonKind::IoModule:
        case ButtonKind::GetInputNumber:
        case ButtonKind::ForceOutput: return true;
        default: return false;
    }
}

QIcon toolbarIcon(const ToolbarButton& button) {
    return iconOf(toolbarGlyph(button),
                  showsNumber(button) ? QString::number(button.number) : QString());
}

QIcon alarmIcon(int image) {
    static const char* const kGlyphs[kAlarmImages] = {"alarm_root", "alarm_entry", "alarm_none",
                                                      "alarm_time", "alarm_date"};
    return iconOf(QString::fromLatin1(kGlyphs[image >= 0 && image < kAlarmImages ? image : 0]),
                  QString());
}

}  // namespace ambro::live
