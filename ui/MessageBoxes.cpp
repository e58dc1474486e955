#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace pm {

void QtMessageBoxes::Show(const std::string& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QStringLiteral("ぱるめろ"), QString::fromStdString(text), QMessageBox::Ok, m_parent);
    box.exec();
}

void QtMessageBoxes::Beep() { QApplication::beep(); }

}  // namespace pm
