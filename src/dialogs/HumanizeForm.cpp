#include "dialogs/HumanizeForm.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace tx {

namespace {

QCheckBox* box(const char* name, const char* caption, bool checked, QWidget* parent) {
    auto* b = new QCheckBox(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setChecked(checked);
    return b;
}

}  // namespace

THumanizeForm::THumanizeForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HumanizeForm"));
    setWindowTitle(QStringLiteral("Humanize"));
    setModal(true);
    const THumanize defaults;

    auto* affect = new QGroupBox(QStringLiteral("Affect..."), this);
    affect->setObjectName(QStringLiteral("AffectBox"));
    VolBox = box("VolBox", "volume", defaults.Volume, affect);
    PanBox = box("PanBox", "pan", defaults.Pan, affect);
    PitchBox = box("PitchBox", "pitch", defaults.Pitch, affect);
    MixBox = box("MixBox", "mix", defaults.Mix, affect);
    auto* boxes = new QHBoxLayout(affect);
    for (QCheckBox* b : {VolBox, PanBox, PitchBox, MixBox}) boxes->addWidget(b);

    PercentageBox = new QGroupBox(QStringLiteral("Humanize how much?"), this);
    PercentageBox->setObjectName(QStringLiteral("PercentageBox"));
    HumanizeSlider = new QSlider(Qt::Horizontal, PercentageBox);
    HumanizeSlider->setObjectName(QStringLiteral("HumanizeSlider"));
    HumanizeSlider->setRange(0, 100);
    HumanizeSlider->setValue(defaults.Percent);
    HumanizeSlider->setPageStep(10);
    HumanizeSlider->setAccessibleName(QStringLiteral("Humanize how much"));
    HumanizeSlider->setMinimumWidth(240);
    auto* percent = new QVBoxLayout(PercentageBox);
    percent->addWidget(HumanizeSlider);
    connect(HumanizeSlider, &QSlider::valueChanged, this, &THumanizeForm::showPercent);

    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* v = new QVBoxLayout(this);
    v->addWidget(affect);
    v->addWidget(PercentageBox);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    v->addLayout(buttons);
}

void THumanizeForm::showPercent(int percent) { PercentageBox->setTitle(QString("Humanize %1%").arg(percent)); }

THumanize THumanizeForm::Values() const {
    THumanize how;
    how.Percent = HumanizeSlider->value();
    how.Volume = VolBox->isChecked();
    how.Pan = PanBox->isChecked();
    how.Pitch = PitchBox->isChecked();
    how.Mix = MixBox->isChecked();
    return how;
}

}  // namespace tx
