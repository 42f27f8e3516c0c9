#include "scan/ScannerSimulatorPanel.h"

#include "device/SimulatedCalvimetro.h"
#include "scan/ScanLog.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

ScannerSimulatorPanel::ScannerSimulatorPanel(SimulatedCalvimetro *simulator, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_simulator(simulator)
{
    setObjectName(QStringLiteral("wgSimulatorPanel"));
    setWindowTitle(tr("Simulatore calvimetro"));
    setAttribute(Qt::WA_ShowWithoutActivating);

    auto *layout = new QVBoxLayout(this);
    lbHint = new QLabel(tr("Nessun calvimetro: questa sonda simulata ne fa le veci."), this);
    lbHint->setWordWrap(true);
    layout->addWidget(lbHint);

    btProbe = new QPushButton(tr("Tenere premuto per scansionare"), this);
    btProbe->setObjectName(QStringLiteral("btProbe"));
    btProbe->setMinimumHeight(48);
    btProbe->setStyleSheet(QStringLiteral("QPushButton:pressed{\nbackground-color: rgb(0, 153, 255);\ncolor:white;\n}"));
    layout->addWidget(btProbe);

    auto *form = new QFormLayout;
    edFat = new QDoubleSpinBox(this);
    edFat->setObjectName(QStringLiteral("edFat"));
    edFat->setRange(2.0, 40.0);
    edFat->setSingleStep(0.5);
    edFat->setDecimals(1);
    edFat->setSuffix(QStringLiteral(" mm"));
    edFat->setValue(m_simulator->profile().fatMm);
    form->addRow(tr("Spessore del grasso"), edFat);
    chkPlugged = new QCheckBox(tr("Sonda collegata"), this);
    chkPlugged->setObjectName(QStringLiteral("chkPlugged"));
    chkPlugged->setChecked(m_simulator->isPlugged());
    form->addRow(chkPlugged);
    layout->addLayout(form);

    connect(btProbe, &QPushButton::pressed, this, &ScannerSimulatorPanel::pressProbeButton);
    connect(btProbe, &QPushButton::released, this, &ScannerSimulatorPanel::releaseProbeButton);
    connect(edFat, &QDoubleSpinBox::valueChanged, this, &ScannerSimulatorPanel::setFatThickness);
    connect(chkPlugged, &QCheckBox::toggled, this, &ScannerSimulatorPanel::setPlugged);
}

void ScannerSimulatorPanel::pressProbeButton()
{
    m_simulator->pressButton();
}

void ScannerSimulatorPanel::releaseProbeButton()
{
    m_simulator->releaseButton();
}

void ScannerSimulatorPanel::setFatThickness(double mm)
{
    CalvimetroProfile profile = m_simulator->profile();
    profile.fatMm = mm;
    m_simulator->setProfile(profile);
    qCDebug(lcScan).noquote() << "simulated fat thickness" << mm << "mm";
}

void ScannerSimulatorPanel::setPlugged(bool plugged)
{
    if (plugged)
        m_simulator->plug();
    else
        m_simulator->unplug();
    btProbe->setEnabled(plugged);
}

void ScannerSimulatorPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Beside the window it belongs to, where it does not hide the scan.
    if (QWidget *owner = parentWidget()) {
        const QRect frame = owner->window()->frameGeometry();
        QPoint pos(frame.right() + 8, frame.top());
        if (const QScreen *screen = owner->screen()) {
            const QRect available = screen->availableGeometry();
            if (pos.x() + width() > available.right())
                pos.setX(available.right() - width());
        }
        move(pos);
    }
}
