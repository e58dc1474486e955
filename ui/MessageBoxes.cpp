#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

#include "messages/Strings.h"

namespace pm {

void QtMessageBoxes::Show(const std::string& text, MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromStdString(LoadString(kTextProgramName)), QString::fromStdString(text), QMessageBox::Ok, m_parent);
    box.exec();
}

void QtMessageBoxes::Beep() { QApplication::beep(); }

}  // namespace pm
