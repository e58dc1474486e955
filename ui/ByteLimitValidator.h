// Refuses any edit that would make a box's text longer than a limit in code
// page 932 bytes (the form the image stores), so double-byte characters count
// twice; a maximum length in characters cannot express that.
#pragma once

#include <QValidator>

#include "tree/Text.h"

namespace pm {

class ByteLimitValidator : public QValidator {
public:
    ByteLimitValidator(int limit, QObject* parent) : QValidator(parent), m_limit(limit) {}
    State validate(QString& input, int&) const override {
        return Utf8ToCp932(input.toStdString()).size() <= size_t(m_limit) ? Acceptable : Invalid;
    }

private:
    int m_limit;
};

}  // namespace pm
