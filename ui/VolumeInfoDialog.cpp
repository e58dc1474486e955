#include "ui/VolumeInfoDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ByteLimitValidator.h"

namespace pm {

namespace {

struct LabelledField {
    const char* label;
    int id;
};
const LabelledField kSingleFields[] = {
    {"&OS:", kFieldOS},
    {"ディスクセット名(&S):", kFieldVolSetID},
    {"ディスク枚数(&D):", kFieldVolSetSize},
    {"ディスク番号(&N):", kFieldVolNumber},
    {"出版社(&P):", kFieldPublisher},
    {"編集者(&E):", kFieldPrepare},
    {"作成ソフト(&L):", kFieldApplication},
    {"著作権ファイル名(&R):", kFieldCopyright},
    {"抄録ファイル名(&A):", kFieldAbstract},
    {"書誌ファイル名(&B):", kFieldBiblographic},
};
const LabelledField kDateRows[] = {
    {"作成日時(&C):", kFieldCreationYear},
    {"更新日時(&M):", kFieldModificationYear},
    {"失効日時(&X):", kFieldExpirationYear},
    {"発行日時(&E):", kFieldEffectiveYear},
};
const char* const kDateUnits[6] = {"年", "月", "日", "時", "分", "秒"};

}  // namespace

VolumeInfoDialog::VolumeInfoDialog(VolumeInfo& info, const VolumeDate& creationDate,
                                   const VolumeDate& creationTime, std::string settingsPath,
                                   MessageBoxes* boxes, QWidget* parent)
    : QDialog(parent), m_info(info), m_settingsPath(std::move(settingsPath)) {
    if (!boxes) {
        m_ownBoxes = std::make_unique<QtMessageBoxes>(this);
        boxes = m_ownBoxes.get();
    }
    m_boxes = boxes;
    setWindowTitle(QStringLiteral("ボリューム情報の設定"));
    CreateControls();
    m_form.Load(m_info, creationDate, creationTime);
    ExchangeToControls();
}

VolumeInfoDialog::~VolumeInfoDialog() = default;

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
        auto* label = new QLabel(QString::fromUtf8(f.label), this);
        QLineEdit* e = makeEdit(f.id);
        label->setBuddy(e);
        grid->addWidget(label, row, 0);
        grid->addWidget(e, row++, 1);
    }
    for (const auto& d : kDateRows) {
        auto* label = new QLabel(QString::fromUtf8(d.label), this);
        auto* boxes = new QHBoxLayout;
        for (int j = 0; j < 6; ++j) {
            QLineEdit* e = makeEdit(d.id + j);
            e->setMaximumWidth(j == 0 ? 56 : 36);
            boxes->addWidget(e);
            boxes->addWidget(new QLabel(QString::fromUtf8(kDateUnits[j]), this));
        }
        boxes->addStretch(1);
        label->setBuddy(Edit(d.id));
        grid->addWidget(label, row, 0);
        grid->addLayout(boxes, row++, 1);
    }
    auto* udfLabel = new QLabel(QStringLiteral("&UDF作成システム名:"), this);
    QLineEdit* implId = makeEdit(kFieldImplID);
    udfLabel->setBuddy(implId);
    grid->addWidget(udfLabel, row, 0);
    grid->addWidget(implId, row++, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("button1"));
    auto* defaults = new QPushButton(QStringLiteral("標準に設定(&F)"), this);
    defaults->setObjectName(QStringLiteral("button4"));
    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
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
    SaveVolumeInfo(m_info, m_settingsPath);  // a failed write is not reported
}

}  // namespace pm
