// The version box of the help menu.
#pragma once

#include <QDialog>

namespace pm {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace pm
