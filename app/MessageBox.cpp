#include "app/MessageBox.h"

#include <QMessageBox>

namespace ambro::app {

namespace {

MessageHandler& currentHandler() {
    static MessageHandler handler;
    return handler;
}

}  // namespace

void showMessage(QWidget* parent, const QString& text) {
    if (const auto& handler = currentHandler()) {
        handler(parent, text);
        return;
    }
    QMessageBox::information(parent, QString(), text);
}

MessageHandler setMessageHandler(MessageHandler handler) {
    return std::exchange(currentHandler(), std::move(handler));
}

}  // namespace ambro::app
