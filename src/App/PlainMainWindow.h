// The client's window until the real main window is built: the program
// title and nothing else.
#pragma once

#include <QMainWindow>

class TPlainMainWindow : public QMainWindow {
    Q_OBJECT
public:
    TPlainMainWindow();
};
