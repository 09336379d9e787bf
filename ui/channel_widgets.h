#pragma once

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;

namespace Ui {
class MainWindow;
}

// The widgets of one channel box, so that the four channels are handled in loops.
struct ChannelWidgets {
    QComboBox *sensorCombo;
    QComboBox *connectionTypeCombo;
    QLineEdit *adc;
    QLineEdit *physicValue;
    QLineEdit *gain;
    QLineEdit *sensorTemperature;
    QLineEdit *temperature;
    // Labels shown only in pro mode: "ADC:", "Physic value:", "Gain:", "Sensor temperature:".
    std::array<QLabel *, 4> proModeLabels;
};

std::array<ChannelWidgets, 4> channelWidgets(const Ui::MainWindow *ui);
