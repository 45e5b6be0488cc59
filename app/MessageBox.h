#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ambro::app {

// Every message the user sees goes through here, so tests can take them
// instead of a blocking box.
using MessageHandler = std::function<void(QWidget* parent, const QString& text)>;

void showMessage(QWidget* parent, const QString& text);

// Replaces the handler; an empty handler restores the message box. Returns
// the previous handler.
MessageHandler setMessageHandler(MessageHandler handler);

}  // namespace ambro::app
