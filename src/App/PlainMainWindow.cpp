#include "PlainMainWindow.h"

#include "Ui.h"

#include <QLabel>

TPlainMainWindow::TPlainMainWindow()
{
    setObjectName("TfrmMain");
    auto* label = new QLabel(QString::fromUtf8(TUi::kApplicationTitle), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
    resize(960, 640);
}
