#include "ui/VolumeInfoDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "messages/JobMessages.h"
#include "messages/Strings.h"
#include "ui/QtText.h"
#include "ui/ByteLimitValidator.h"

namespace pm {

namespace {

struct LabelledField {
    int label;  // string table number
    int id;
};
const LabelledField kSingleFields[] = {
    {kTextOsLabel, kFieldOS},
    {kTextVolumeSetLabel, kFieldVolSetID},
    {kTextVolumeSetSizeLabel, kFieldVolSetSize},
    {kTextVolumeNumberLabel, kFieldVolNumber},
    {kTextPublisherLabel, kFieldPublisher},
    {kTextPreparerLabel, kFieldPrepare},
    {kTextApplicationLabel, kFieldApplication},
    {kTextCopyrightLabel, kFieldCopyright},
    {kTextAbstractLabel, kFieldAbstract},
    {kTextBibliographicLabel, kFieldBiblographic},
};
const LabelledField kDateRows[] = {
    {kTextCreatedLabel, kFieldCreationYear},
    {kTextModifiedLabel, kFieldModificationYear},
    {kTextExpiresLabel, kFieldExpirationYear},
    {kTextEffectiveLabel, kFieldEffectiveYear},
};
const int kDateUnits[6] = {kTextYearUnit, kTextMonthUnit, kTextDayUnit, kTextHourUnit, kTextMinuteUnit, kTextSecondUnit};


}  // namespace

VolumeInfoDialog::VolumeInfoDialog(VolumeInfo& info, const VolumeDate& creationDate,
                                   const VolumeDate& creationTime, std::string settingsPath,
                                   MessageBoxes* boxes, QWidget* parent)
    : QDialog(parent), m_info(info), m_settingsPath(std::move(settingsPath)), m_boxes(boxes, this) {
    setWindowTitle(Text(kTextVolumeInfoTitle));
    CreateControls();
    m_form.Load(m_info, creationDate, creationTime);
    ExchangeToControls();
}

VolumeInfoDialog::~VolumeInfoDialog() = default;

void VolumeInfoDialog::ShowSettingsWarnings(const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    QStringList text;
    for (const std::string& line : lines) text << Q(line);
    auto* label = new QLabel(text.join(QLatin1Char('\n')), this);
    label->setObjectName(QStringLiteral("labelSettingsWarnings"));
    label->setWordWrap(true);
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, label);
}

QLineEdit* VolumeInfoDialog::Edit(int fieldId) const {
    auto it = m_edits.find(fieldId);
    return it == m_edits.end() ? nullptr : it->second;
}

void VolumeInfoDialog::CreateControls() {
    auto makeEdit = [this](int id) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("edit%1").arg(id));
        if (int limit = VolumeInfoForm::ByteLimit(id)) e->setValidator(new ByteLimitValidator(limit, e));
        m_edits[id] = e;
        return e;
    };

    auto* grid = new QGridLayout;
    int row = 0;
    for (const auto& f : kSingleFields) {
        auto* label = new QLabel(Text(f.label), this);
        QLineEdit* e = makeEdit(f.id);
        label->setBuddy(e);
        grid->addWidget(label, row, 0);
        grid->addWidget(e, row++, 1);
    }
    for (const auto& d : kDateRows) {
        auto* label = new QLabel(Text(d.label), this);
        auto* boxes = new QHBoxLayout;
        for (int j = 0; j < 6; ++j) {
            QLineEdit* e = makeEdit(d.id + j);
            e->setMaximumWidth(j == 0 ? 56 : 36);
            boxes->addWidget(e);
            boxes->addWidget(new QLabel(Text(kDateUnits[j]), this));
        }
        boxes->addStretch(1);
        label->setBuddy(Edit(d.id));
        grid->addWidget(label, row, 0);
        grid->addLayout(boxes, row++, 1);
    }
    auto* udfLabel = new QLabel(Text(kTextImplementationLabel), this);
    QLineEdit* implId = makeEdit(kFieldImplID);
    udfLabel->setBuddy(implId);
    grid->addWidget(udfLabel, row, 0);
    grid->addWidget(implId, row++, 1);

    auto* ok = new QPushButton(Text(kTextOk), this);
    ok->setObjectName(QStringLiteral("button1"));
    auto* defaults = new QPushButton(Text(kTextDefaultsButton), this);
    defaults->setObjectName(QStringLiteral("button4"));
    auto* cancel = new QPushButton(Text(kTextCancel), this);
    cancel->setObjectName(QStringLiteral("button2"));
    cancel->setDefault(true);  // Enter in a box leaves without changing anything
    connect(ok, &QPushButton::clicked, this, &VolumeInfoDialog::OnOk);
    connect(defaults, &QPushButton::clicked, this, &VolumeInfoDialog::OnSetDefaults);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(defaults);
    buttons->addWidget(cancel);

    auto* top = new QVBoxLayout;
    top->addLayout(grid);
    top->addLayout(buttons);
    setLayout(top);

    QWidget* previous = nullptr;
    for (int id : VolumeInfoForm::FieldIds()) {
        if (previous) setTabOrder(previous, Edit(id));
        previous = Edit(id);
    }
    setTabOrder(previous, ok);
    setTabOrder(ok, defaults);
    setTabOrder(defaults, cancel);
}

void VolumeInfoDialog::ExchangeToControls() {
    for (int id : VolumeInfoForm::FieldIds()) Edit(id)->setText(QString::fromStdString(m_form.Field(id)));
}

bool VolumeInfoDialog::ExchangeFromControls() {
    for (int id : VolumeInfoForm::FieldIds()) m_form.Field(id) = Edit(id)->text().toStdString();
    FormCheck check = m_form.Validate();
    if (check.ok) return true;
    m_boxes->Show(check.messageText, check.icon);
    if (QLineEdit* e = Edit(check.fieldId)) {
        e->setFocus();
        e->selectAll();
    }
    return false;
}

void VolumeInfoDialog::OnOk() {
    if (!ExchangeFromControls()) return;
    m_form.Store(m_info);
    accept();
}

void VolumeInfoDialog::OnSetDefaults() {
    if (!ExchangeFromControls()) return;
    m_form.Store(m_info);
    // The values stay in the boxes and in the record; the user hears that
    // they were not kept for the next start, and why.
    int cause = 0;
    if (!SaveVolumeInfo(m_info, m_settingsPath, &cause))
        m_boxes->Show(FormatString(kMsgCannotSaveSettings, m_settingsPath) + "\n" + LoadString(CauseTextId(cause)),
                      MessageIcon::Exclamation);
}

}  // namespace pm

#include "moc_VolumeInfoDialog.cpp"  // in this file's batch, not in a file of its own that reads Qt again
