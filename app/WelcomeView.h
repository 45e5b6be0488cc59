#pragma once

#include <QWidget>

namespace ambro::app {

// The main window's view: the program's name and version, centred.
class WelcomeView : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kText = "Ambro V2 (v8400)";

    explicit WelcomeView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ambro::app
