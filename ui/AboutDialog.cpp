#include "ui/AboutDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "messages/Strings.h"
#include "ui/QtText.h"

namespace pm {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Text(kTextAboutTitle));
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull()) icon->setPixmap(appIcon.pixmap(32, 32));
    row->addWidget(icon, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    auto* name = new QLabel(Text(kTextProgramName), this);
    name->setObjectName(QStringLiteral("name"));
    auto* version = new QLabel(Text(kTextVersion), this);
    version->setObjectName(QStringLiteral("version"));
    auto* licence = new QLabel(Text(kTextLicence), this);
    licence->setObjectName(QStringLiteral("licence"));
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addWidget(licence);
    row->addLayout(texts, 1);

    auto* ok = new QPushButton(Text(kTextOk), this);
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(ok, 0, Qt::AlignTop);

    setLayout(row);
}

}  // namespace pm

#include "moc_AboutDialog.cpp"  // in this file's batch, not in a file of its own that reads Qt again
