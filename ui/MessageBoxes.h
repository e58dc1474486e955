// The one place dialogs show a message box or sound the beep, so tests can
// read and answer them instead of a person.
#pragma once

#include <memory>
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

// A dialog's boxes: those it was given (tests give a recorder), or real ones
// over the dialog.
class DialogBoxes {
public:
    DialogBoxes(MessageBoxes* given, QWidget* dialog)
        : m_own(given ? nullptr : std::make_unique<QtMessageBoxes>(dialog)), m_boxes(given ? given : m_own.get()) {}
    MessageBoxes* operator->() const { return m_boxes; }
    operator MessageBoxes*() const { return m_boxes; }

private:
    std::unique_ptr<MessageBoxes> m_own;
    MessageBoxes* m_boxes;
};

}  // namespace pm
