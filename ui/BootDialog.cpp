#include "ui/BootDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "messages/JobMessages.h"
#include "messages/Strings.h"
#include "ui/QtText.h"

namespace pm {

BootDialog::BootDialog(BootChoices& boot, std::string settingsPath, MessageBoxes* boxes, QWidget* parent)
    : QDialog(parent), m_boot(boot), m_settingsPath(std::move(settingsPath)), m_boxes(boxes, this) {
    setWindowTitle(Text(kTextBootTitle));
    CreateControls();
    m_bios->setText(Q(m_boot.BiosImage));
    m_loadSize->setText(m_boot.BiosLoadSize ? QString::number(m_boot.BiosLoadSize) : QString());
    m_infoTable->setChecked(m_boot.BiosInfoTable);
    m_uefi->setText(Q(m_boot.UefiImage));
    m_catalog->setText(Q(m_boot.Catalog));
}

BootDialog::~BootDialog() = default;

void BootDialog::CreateControls() {
    auto* grid = new QGridLayout;
    int row = 0;
    // Tab order is the construction order: each box, then its chooser.
    auto addRow = [&](int labelText, int id, bool chooses) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("edit%1").arg(id));
        auto* label = new QLabel(Text(labelText), this);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        if (chooses) {
            auto* chooser = new QPushButton(QStringLiteral("..."), this);
            chooser->setObjectName(QStringLiteral("button%1").arg(id + 1));
            chooser->setAutoDefault(false);
            connect(chooser, &QPushButton::clicked, this, [this, edit] { Browse(edit); });
            grid->addWidget(chooser, row, 2);
        }
        ++row;
        return edit;
    };
    m_bios = addRow(kTextBiosImageLabel, 1201, true);
    m_bios->setMinimumWidth(360);
    m_loadSize = addRow(kTextLoadSizeLabel, 1203, false);
    m_loadSize->setPlaceholderText(Text(kTextLoadSizeHint));
    m_infoTable = new QCheckBox(Text(kTextInfoTableCheck), this);
    m_infoTable->setObjectName(QStringLiteral("check1204"));
    grid->addWidget(m_infoTable, row++, 1);
    m_uefi = addRow(kTextUefiImageLabel, 1205, true);
    m_catalog = addRow(kTextCatalogLabel, 1207, false);
    m_catalog->setPlaceholderText(Text(kTextCatalogHint));

    auto* ok = new QPushButton(Text(kTextOk), this);
    ok->setObjectName(QStringLiteral("button1"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(Text(kTextCancel), this);
    cancel->setObjectName(QStringLiteral("button2"));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &BootDialog::OnOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* top = new QVBoxLayout;
    top->addLayout(grid);
    top->addLayout(buttons);
    setLayout(top);
}

void BootDialog::Browse(QLineEdit* target) {
    const QFileInfo current(target->text());
    const QString chosen = QFileDialog::getOpenFileName(this, Text(kTextBootImageDialogTitle),
                                                        current.isAbsolute() ? current.path() : QString());
    if (!chosen.isEmpty()) target->setText(chosen);
}

bool BootDialog::Refuse(QLineEdit* at, const std::string& message) {
    m_boxes->Show(message, MessageIcon::Exclamation);
    at->setFocus();
    at->selectAll();
    return false;
}

bool BootDialog::TakeControls(BootChoices& out) {
    // The images are checked here, where the user can still choose another;
    // the build checks their contents.
    for (QLineEdit* e : {m_bios, m_uefi}) {
        const QString path = e->text();
        if (path.isEmpty()) continue;
        const QFileInfo file(path);
        if (!file.isAbsolute()) return Refuse(e, FormatString(kMsgBootImageNotAbsolute, path.toStdString()));
        if (!file.exists() || file.isDir()) return Refuse(e, FormatString(kMsgBootImageMissing, path.toStdString()));
    }
    const QString size = m_loadSize->text().trimmed();
    bool number = true;
    const uint size16 = size.isEmpty() ? 0 : size.toUInt(&number);
    // 0 would mean "the whole image", which is what the empty box says.
    if (!number || (!size.isEmpty() && (size16 < 1 || size16 > 0xFFFF)))
        return Refuse(m_loadSize, LoadString(kMsgLoadSizeRange));
    out.BiosImage = m_bios->text().toStdString();
    out.BiosLoadSize = uint16_t(size16);
    out.BiosInfoTable = m_infoTable->isChecked();
    out.UefiImage = m_uefi->text().toStdString();
    out.Catalog = m_catalog->text().trimmed().toStdString();
    return true;
}

void BootDialog::OnOk() {
    BootChoices taken;
    if (!TakeControls(taken)) return;
    m_boot = taken;
    // The choices hold for this session even when the file cannot keep them.
    int cause = 0;
    if (!SaveBootChoices(m_boot, m_settingsPath, &cause))
        m_boxes->Show(FormatString(kMsgCannotSaveSettings, m_settingsPath) + "\n" + LoadString(CauseTextId(cause)),
                      MessageIcon::Exclamation);
    accept();
}

}  // namespace pm

#include "moc_BootDialog.cpp"  // in this file's batch, not in a file of its own that reads Qt again
