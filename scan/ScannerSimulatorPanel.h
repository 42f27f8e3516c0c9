#pragma once

#include <QWidget>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class SimulatedCalvimetro;

// A small always-on-top window that stands in for the hands on the probe when the
// simulated calvimetro replaces the device: hold its button to scan, choose the fat
// thickness under the probe, plug or unplug the probe.
class ScannerSimulatorPanel : public QWidget
{
    Q_OBJECT

public:
    // `simulator` must outlive the panel.
    ScannerSimulatorPanel(SimulatedCalvimetro *simulator, QWidget *parent);

    QPushButton *btProbe = nullptr;
    QDoubleSpinBox *edFat = nullptr;
    QCheckBox *chkPlugged = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void pressProbeButton();
    void releaseProbeButton();
    void setFatThickness(double mm);
    void setPlugged(bool plugged);

    SimulatedCalvimetro *m_simulator;
    QLabel *lbHint = nullptr;
    bool m_placed = false;
};
