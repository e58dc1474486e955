// The one place dialogs show a message box or sound the beep, so tests can
// read and answer them instead of a person.
#pragma once

#include <string>

#include "settings/VolumeInfoForm.h"

class QWidget;

namespace pm {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal box with an OK button; returns when it is dismissed.
    virtual void Show(const std::string& text, MessageIcon icon) = 0;
    // The system's beep before a box that ends a build.
    virtual void Beep() {}
};

// Real boxes over a parent window, titled with the program's name.
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent) : m_parent(parent) {}
    void Show(const std::string& text, MessageIcon icon) override;
    void Beep() override;

private:
    QWidget* m_parent;
};

}  // namespace pm
