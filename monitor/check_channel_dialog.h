#pragma once

#include "check_point.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;

// What a loop check of one channel needs: the calibrator's temperature, a tolerance or a
// tolerance class, and how many refreshes to read.
class CheckChannelDialog : public QDialog
{
    Q_OBJECT

public:
    CheckChannelDialog(const QString &channelName, QWidget *parent = nullptr);

    // The point for the channel (its selector and channel filled in by the caller).
    CheckPoint point() const;
    int samples() const;

private:
    QDoubleSpinBox *expected = nullptr;
    QComboBox *basis = nullptr;
    QDoubleSpinBox *tolerance = nullptr;
    QSpinBox *sampleCount = nullptr;
    QLineEdit *note = nullptr;
};
