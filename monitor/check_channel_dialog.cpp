#include "check_channel_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSpinBox>

namespace {

// The first entry is a tolerance given in degC; the others are class names.
const QStringList bases = {QStringLiteral("tolerance ± °C"), QStringLiteral("class 1"), QStringLiteral("class 2"),
                           QStringLiteral("class 3"), QStringLiteral("class AA"), QStringLiteral("class A"),
                           QStringLiteral("class B"), QStringLiteral("class C")};

} // namespace

CheckChannelDialog::CheckChannelDialog(const QString &channelName, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Check %1").arg(channelName));
    expected = new QDoubleSpinBox;
    expected->setRange(-273.15, 3000);
    expected->setDecimals(2);
    expected->setSuffix(QStringLiteral(" °C"));
    basis = new QComboBox;
    basis->addItems(bases);
    tolerance = new QDoubleSpinBox;
    tolerance->setRange(0.01, 100);
    tolerance->setValue(1.0);
    connect(basis, QOverload<int>::of(&QComboBox::currentIndexChanged), tolerance,
            [this](int index) { tolerance->setEnabled(index == 0); });
    sampleCount = new QSpinBox;
    sampleCount->setRange(1, 1000);
    sampleCount->setValue(10);
    note = new QLineEdit;
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("Calibrator set to:"), expected);
    form->addRow(QStringLiteral("Judged by:"), basis);
    form->addRow(QStringLiteral("Tolerance:"), tolerance);
    form->addRow(QStringLiteral("Refreshes to read:"), sampleCount);
    form->addRow(QStringLiteral("Note:"), note);
    form->addRow(buttons);
}

CheckPoint CheckChannelDialog::point() const
{
    CheckPoint point;
    point.expected = expected->value();
    if (basis->currentIndex() == 0)
        point.tolerance = tolerance->value();
    else
        point.className = basis->currentText().mid(QStringLiteral("class ").size());
    point.note = note->text();
    return point;
}

int CheckChannelDialog::samples() const
{
    return sampleCount->value();
}
